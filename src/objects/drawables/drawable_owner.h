// Finding the script object that shows a drawable, and the object a method argument names.
#pragma once

#include "runtime/runner.h"

class CGraphicsObject;
class CMC_Object;
class CMC_ObjectsContainer;

namespace tarnvik {

// The object whose drawable it is: searched from `from` up through its parents, then in the
// running scene of the whole application and its parents. Null when none shows it.
CMC_Object* findDrawableOwner(CMC_ObjectsContainer* from, const CGraphicsObject* drawable);

// The object argument i names: the argument itself when it is an object other than a value, else
// the object whose name is the argument's text, looked up in `scope`.
CMC_Object* objectArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope);

}  // namespace tarnvik
