// CMElementCreator: engine objects built straight from elements (used by sequence files).
#pragma once

class CWindow;
class CMElement;
class CPlayable;
class CGraphicsObject;

class CMElementCreator {
 public:
  // TYPE "ANIMO" or "SEQUENCE" gives a playable; anything else none. Until the animation and
  // sequence types exist in this layer every element gives none.
  static CPlayable* createPlayable(CWindow* window, CMElement* element);
  // TYPE "IMAGE" gives an image (from FILENAME, VISIBLE honoured) through the maker the image layer
  // registers; without one, or for another TYPE, none. The caller owns the result.
  static CGraphicsObject* createObject(CWindow* window, CMElement* element);
  using ObjectMaker = CGraphicsObject* (*)(CWindow* window, CMElement* element);
  static void setObjectMaker(ObjectMaker maker);
};
