// TEXT and FONT objects in a headless window: what a change redraws, and the built-in font fallback.
#include <gtest/gtest.h>

#include <algorithm>

#include "definitions/melement.h"
#include "graphics/refresh_screen.h"
#include "objects/text/mc_editbox.h"
#include "objects/text/mc_font.h"
#include "objects/text/mc_text.h"
#include "support/test_font.h"
#include "window_scene_fixture.h"

namespace {

class TextObjectTest : public WindowSceneTest {
 protected:
  // FONT F with the test font and TEXT T showing "AB" in the box (100, 50, 140, 80).
  CMC_Text* makeText() {
    CMElement fontElement{CXString("F")};
    auto* font = new CMC_Font(scene_.get(), &fontElement);
    std::vector<uint8_t> bytes = tarnvik::testfont::testFontFile();
    EXPECT_TRUE(font->getFont()->LoadFromMemory(bytes.data(), bytes.size()));
    scene_->addObject(font);
    CMElement element{CXString("T")};
    element.addProperty(CXString("FONT"), CXString("F"));
    element.addProperty(CXString("TEXT"), CXString("AB"));
    element.addProperty(CXString("RECT"), CXString("100,50,140,80"));
    auto* text = new CMC_Text(scene_.get(), &element);
    scene_->addObject(text);
    return text;
  }
  CRefreshScreen& screen() { return *window_->getRefreshScreen(); }
  std::vector<CXRect> dirty() {
    std::vector<CXRect> rects = screen().region().rects();
    std::sort(rects.begin(), rects.end(), [](const CXRect& a, const CXRect& b) { return a.left < b.left; });
    return rects;
  }
};

TEST_F(TextObjectTest, MovingATextRedrawsItsOldAndItsNewBoxOnly) {
  CMC_Text* text = makeText();
  screen().clearRegion();
  text->moveTo(300, 200);
  EXPECT_FALSE(screen().region().isFullScreen());
  EXPECT_EQ(dirty(), (std::vector<CXRect>{CXRect(100, 50, 140, 80), CXRect(300, 200, 340, 230)}));
}

TEST_F(TextObjectTest, HidingOrChangingATextRedrawsItsBoxOnly) {
  CMC_Text* text = makeText();
  screen().clearRegion();
  text->show(false);
  EXPECT_EQ(dirty(), std::vector<CXRect>{CXRect(100, 50, 140, 80)});
  text->show(true);
  screen().clearRegion();
  text->setText(CXString("BA"));
  EXPECT_EQ(dirty(), std::vector<CXRect>{CXRect(100, 50, 140, 80)});
}

TEST_F(TextObjectTest, ATextWhoseFontIsGoneDrawsWithTheBuiltInFont) {
  tarnvik::installBuiltinFont();
  ASSERT_NE(tarnvik::builtinFont(), nullptr);
  EXPECT_EQ(tarnvik::builtinFont()->getSize(), 14);
  CMC_Text* text = makeText();
  text->setFont(CXString("NOSUCHFONT"));
  EXPECT_EQ(text->getLayout().numLines(), 1);
  EXPECT_GT(text->getLayout().width(), 0);
}

TEST_F(TextObjectTest, TypedCharactersArriveInTheCodePageAndOnlyInTheFocusedEnabledBox) {
  makeText();
  CMElement element{CXString("E")};
  element.addProperty(CXString("FONT"), CXString("F"));
  element.addProperty(CXString("RECT"), CXString("10,10,200,30"));
  auto* box = new CMC_EditBox(scene_.get(), &element);
  scene_->addObject(box);
  box->onChar("A");
  EXPECT_EQ(box->getText(), CXString("")) << "no focus yet";
  box->setFocus();
  box->onChar("\xC5\xBC");  // ż, in Windows-1250 0xBF
  box->onChar("\xE2\x86\x92");  // an arrow the code page lacks
  box->onChar("\t");
  EXPECT_EQ(box->getText(), CXString("\xBF"));
  box->enable(false);
  box->onChar("B");
  EXPECT_EQ(box->getText(), CXString("\xBF")) << "a disabled box takes no typing";
  EXPECT_EQ(CMC_EditBox::focused(), box);
}

}  // namespace
