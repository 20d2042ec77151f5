// Registration of every script type the engine knows with the object and runner registries.
#pragma once

namespace tarnvik {

// Idempotent; call once before the first application is built.
void registerEngineTypes();

}  // namespace tarnvik
