// CMElementCreator: engine objects built straight from elements (used by sequence files).
#pragma once

class CWindow;
class CMElement;
class CPlayable;
class CGraphicsObject;

class CMElementCreator {
 public:
  // TYPE "ANIMO" gives an animation (from FILENAME, VISIBLE honoured) through the maker the
  // animation type registers; "SEQUENCE" and anything else none for now. The caller owns the result.
  static CPlayable* createPlayable(CWindow* window, CMElement* element);
  using PlayableMaker = CPlayable* (*)(CWindow* window, CMElement* element);
  static void setPlayableMaker(PlayableMaker maker);
  // TYPE "IMAGE" gives an image (from FILENAME, VISIBLE honoured) through the maker the image layer
  // registers, TYPE "ANIMO" an animation through the animation type's maker; without a maker,
  // or for another TYPE, none. The caller owns the result.
  static CGraphicsObject* createObject(CWindow* window, CMElement* element);
  using ObjectMaker = CGraphicsObject* (*)(CWindow* window, CMElement* element);
  // The maker for TYPE "IMAGE", and the maker for another TYPE.
  static void setObjectMaker(ObjectMaker maker) { setObjectMaker("IMAGE", maker); }
  static void setObjectMaker(const char* type, ObjectMaker maker);
};
