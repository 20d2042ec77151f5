// IMAGE: a script object that shows one image file on the scene's screen, with methods to move,
// show, hide, clip, recolour, test and save it, as-button mouse events and collision events.
#pragma once

#include <memory>

#include "graphics/formats/image.h"
#include "objects/drawables/drawable_object.h"
#include "runtime/runner.h"

class CMC_Image : public CMC_DrawableObject {
 public:
  enum {
    EVI_ONCLICK = 3,
    EVI_ONRELEASE,
    EVI_ONFOCUSON,
    EVI_ONFOCUSOFF,
    EVI_ONCOLLISION,
    EVI_ONCOLLISIONFINISHED,
  };

  CMC_Image(CMC_ObjectsContainer* scope, CMElement* element);
  // An empty image made by code (CREATE).
  CMC_Image(CMC_ObjectsContainer* scope, const CXString& name);
  ~CMC_Image() override;

  const CMC_EventList* getBehavioursList() const override;
  CGraphicsObject* getDrawable() const override { return image_.get(); }
  CXObject* clone() const override;
  using CMC_Object::clone;
  // Saved-state record: the handlers, then the name and what the definition element set.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the file shown, its flips and the place RESETPOSITION returns to, the pixels
  // when a script changed them (MERGEALPHA, REPLACECOLOR), then the drawable's.
  bool serializeState(CXArchive* archive) override;
  // A script changed the pixels the file gave: a save keeps them.
  void markPixelsChanged() { pixelsChanged_ = true; }

  CImage* getImage() const { return image_.get(); }
  // Loads another file into the image; false (empty image, warning logged) when it cannot.
  bool load(const CXString& file);
  void resetPosition() { setPosition(resetPosition_.x, resetPosition_.y); }
  void setResetPosition(int x, int y) { resetPosition_ = CXPoint(x, y); }
  CXPoint getResetPosition() const { return resetPosition_; }

 private:
  bool serializePixels(CXArchive* archive);

  std::unique_ptr<CImage> image_;
  CXPoint resetPosition_;
  bool pixelsChanged_ = false;
};

class CMC_Image_Runner : public CMC_Runner {
 public:
  enum Method {
    SHOW = 1, HIDE, SETPOSITION, RESETPOSITION, SETRESETPOSITION, MOVE, LOAD, CLEARCLIPPING, SETCLIPPING,
    GETPOSITIONX, GETPOSITIONY, GETWIDTH, GETHEIGHT, ISNEAR, ISINSIDE, MONITORCOLLISION, REMOVEMONITORCOLLISION,
    SETSCALEFACTOR, SETPRIORITY, GETPRIORITY, GETALPHA, GETPIXEL, MERGEALPHA, MERGEALPHA2, INVALIDATE, GETCENTERX,
    GETCENTERY, ISVISIBLE, LINK, SETASBUTTON, SETOPACITY, GETOPACITY, SAVE, SETANCHOR, FLIPH, FLIPV, RESETFLIPS,
    DRAWONTO, ISAT, GETSLIDECOMPS, GETCOLORAT, GETCOLORRAT, GETCOLORGAT, GETCOLORBAT, REPLACECOLOR
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers IMAGE: its maker, its saved-state record, its runner, and the loaders of scene backgrounds
// and element-built images.
void registerImageType();
}  // namespace tarnvik
