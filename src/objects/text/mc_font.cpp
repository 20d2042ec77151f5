// FONT objects: loading from files or animations, their methods, and the built-in font.
#include "objects/text/mc_font.h"

#include "definitions/melement.h"
#include "files/file_search.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/text_layout.h"
#include "graphics/window.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/variable_factory.h"

namespace {

bool isAnimationFile(const CXString& file) {
  auto name = file.view();
  return name.size() >= 4 && CXString(name.substr(name.size() - 4)).equalsIgnoreCase(CXString(".ann"));
}

struct BuiltinData {
  const uint8_t* data = nullptr;
  size_t size = 0;
};
BuiltinData& builtinData() {
  static BuiltinData data;
  return data;
}

}  // namespace

CMC_Font::CMC_Font(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_FONT), font_(std::make_unique<CSimpleFont6>()) {
  CXString file = elementValue(element, "FILENAME");
  if (!file.isEmpty()) load(file);
  font_->setFamily(elementValue(element, "FAMILY"));
  font_->setStyle(elementValue(element, "STYLE"));
  // A SIZE key names the size; without one the size the font file was made at stays.
  if (element && element->hasProperty(CXString("SIZE"))) font_->setSize(elementInt(element, "SIZE"));
  initializeBehaviours(scope, element);
}

CMC_Font::~CMC_Font() = default;

bool CMC_Font::load(const CXString& file) {
  file_ = file;
  CFileContext* context = window();
  bool ok = isAnimationFile(file) ? font_->create(context, file) : font_->Load(context, file);
  if (!ok)
    TLOG_WARN_AT(getOrigin(), "FONT " << getName().view() << ": cannot load " << file.view() << " (looked in "
                                      << tarnvik::files::searchedPlaces(context, file) << ")");
  return ok;
}

bool CMC_Font::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  CXString name = getName(), family = font_->getFamily(), style = font_->getStyle();
  int32_t size = font_->getSize();
  if (archive->isStoring()) {
    *archive << name << file_ << family << style << size;
    return archive->isOk();
  }
  CXString file;
  *archive >> name >> file >> family >> style >> size;
  if (!archive->isOk()) return false;
  setName(name);
  if (!file.isEmpty()) load(file);
  font_->setFamily(family);
  font_->setStyle(style);
  font_->setSize(size);
  return true;
}

CMC_Runner::MethodTable CMC_Font_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"GETHEIGHT", GETHEIGHT},
      {"GETTEXTWIDTH", GETTEXTWIDTH},
  };
  return kMethods;
}

CMC_Object* CMC_Font_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* object = dynamic_cast<CMC_Font*>(target);
  if (!object) return CMC_Runner::run(id, target, scope, args);
  CSimpleFont6& font = *object->getFont();
  switch (id) {
    case GETHEIGHT: return CMC_VariableFactory::integer(font.Height());
    case GETTEXTWIDTH: {
      // The widest line of the text laid out without a right edge.
      tarnvik::CTextLayout layout;
      layout.layout(font, getParameterString(args, 0).view(), tarnvik::TextBox{INT32_MAX / 2, 0});
      return CMC_VariableFactory::integer(layout.width());
    }
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void setBuiltinFontData(const uint8_t* data, size_t size) {
  builtinData() = BuiltinData{data, size};
}

CSimpleFont6* builtinFont() {
  static std::unique_ptr<CSimpleFont6> font;
  // A font asked for before its data was installed is loaded again once the data is there.
  static const uint8_t* tried = nullptr;
  const BuiltinData& bytes = builtinData();
  if (!font || (font->getLetterCount() == 0 && bytes.data != tried)) {
    font = std::make_unique<CSimpleFont6>();
    tried = bytes.data;
    if (!bytes.data || !font->LoadFromMemory(bytes.data, bytes.size)) TLOG_WARN("the built-in font is missing");
    font->setFamily(CXString("built-in"));
  }
  return font->getLetterCount() > 0 ? font.get() : nullptr;
}

void registerFontType() { registerElementType<CMC_Font, CMC_Font_Runner>("FONT", mc::TYPE_FONT); }

}  // namespace tarnvik
