// Lookups between drawables and the script objects that show them.
#include "objects/drawables/drawable_owner.h"

#include "application/scene.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"

namespace tarnvik {
namespace {
CMC_Object* searchUp(CMC_ObjectsContainer* c, const CGraphicsObject* drawable) {
  for (; c; c = c->getParent())
    for (CMC_Object* object : c->objects())
      if (object->getDrawable() == drawable) return object;
  return nullptr;
}
}  // namespace

CMC_Object* findDrawableOwner(CMC_ObjectsContainer* from, const CGraphicsObject* drawable) {
  if (!drawable) return nullptr;
  if (CMC_Object* found = searchUp(from, drawable)) return found;
  CMC_ObjectsContainer* root = from;
  while (root && root->getParent()) root = root->getParent();
  auto* top = dynamic_cast<CMC_Scene*>(root);
  return top ? searchUp(top->getCurrentScene(), drawable) : nullptr;
}

CMC_Object* objectArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  if (i >= CMC_Runner::argCount(args)) return nullptr;
  CMC_Object* arg = (*args)[i];
  if (arg && !mc::isControl(arg) && !mc::asVariable(arg)) return arg;
  if (!scope) return nullptr;
  return scope->getObject(CMC_Runner::getParameterString(args, i));
}

}  // namespace tarnvik
