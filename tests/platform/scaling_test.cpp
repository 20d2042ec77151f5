// The scale modes: where the picture goes in an output, which mode "automatic" picks, and the pointer
// mapping that follows the picture.
#include <gtest/gtest.h>

#include "platform/scaling.h"

using tarnvik::Placement;
using tarnvik::ScaleMode;

TEST(Scaling, EachModePlacesThePictureCentred) {
  struct Case {
    ScaleMode mode;
    int outW, outH;
    int x, y, w, h, prescale;
  };
  const Case cases[] = {
      {ScaleMode::pixel, 1920, 1080, 560, 240, 800, 600, 1},
      {ScaleMode::pixel, 1000, 900, 100, 150, 800, 600, 1},  // the resized window of a new player
      {ScaleMode::pixel, 2560, 1440, 480, 120, 1600, 1200, 2},
      {ScaleMode::fit, 1920, 1080, 240, 0, 1440, 1080, 1},
      {ScaleMode::fit, 1000, 900, 0, 75, 1000, 750, 1},
      {ScaleMode::fit, 3840, 2160, 480, 0, 2880, 2160, 3},
      {ScaleMode::fit, 801, 601, 0, 0, 801, 601, 1},          // the rounded side
      {ScaleMode::stretch, 1920, 1080, 0, 0, 1920, 1080, 1},
      {ScaleMode::pixel, 400, 300, -200, -150, 800, 600, 1},  // smaller than the game: never below 1
  };
  for (const Case& c : cases) {
    Placement p = tarnvik::placePicture(c.mode, 800, 600, c.outW, c.outH);
    SCOPED_TRACE(std::string(tarnvik::scaleModeName(c.mode)) + " " + std::to_string(c.outW) + "x" + std::to_string(c.outH));
    EXPECT_EQ(p.picture.x, c.x);
    EXPECT_EQ(p.picture.y, c.y);
    EXPECT_EQ(p.picture.w, c.w);
    EXPECT_EQ(p.picture.h, c.h);
    EXPECT_EQ(p.prescale, c.prescale);
  }
}

TEST(Scaling, AutomaticIsFitInFullScreenAndInWindowsMoreThanTwiceTheGame) {
  using tarnvik::effectiveScale;
  EXPECT_EQ(effectiveScale(ScaleMode::automatic, 800, 600, 1920, 1080, true), ScaleMode::fit);
  EXPECT_EQ(effectiveScale(ScaleMode::automatic, 800, 600, 1600, 1200, false), ScaleMode::pixel);
  EXPECT_EQ(effectiveScale(ScaleMode::automatic, 800, 600, 1601, 1201, false), ScaleMode::fit);
  EXPECT_EQ(effectiveScale(ScaleMode::pixel, 800, 600, 3840, 2160, true), ScaleMode::pixel);
  ScaleMode parsed;
  EXPECT_TRUE(tarnvik::parseScaleMode("stretch", parsed));
  EXPECT_EQ(parsed, ScaleMode::stretch);
  EXPECT_FALSE(tarnvik::parseScaleMode("Fit", parsed));
  EXPECT_FALSE(tarnvik::parseScaleMode("automatic", parsed));
}

TEST(Scaling, PointerLandsOnTheGamePixelUnderItAndBack) {
  for (ScaleMode mode : {ScaleMode::pixel, ScaleMode::fit, ScaleMode::stretch}) {
    Placement p = tarnvik::placePicture(mode, 800, 600, 1920, 1080);
    SCOPED_TRACE(tarnvik::scaleModeName(mode));
    int gx = 0, gy = 0;
    // Every game pixel's centre maps back onto itself.
    for (int g : {0, 1, 399, 598, 599}) {
      int ox = 0, oy = 0;
      tarnvik::gameToOutput(p, 800, 600, g, g, ox, oy);
      tarnvik::outputToGame(p, 800, 600, ox, oy, gx, gy);
      EXPECT_EQ(gx, g);
      EXPECT_EQ(gy, g);
    }
    // The picture's edges, and the bars beyond them off the screen.
    tarnvik::outputToGame(p, 800, 600, p.picture.x, p.picture.y, gx, gy);
    EXPECT_EQ(gx, 0);
    EXPECT_EQ(gy, 0);
    tarnvik::outputToGame(p, 800, 600, p.picture.x + p.picture.w - 1, p.picture.y + p.picture.h - 1, gx, gy);
    EXPECT_EQ(gx, 799);
    EXPECT_EQ(gy, 599);
    if (p.picture.x > 0) {
      tarnvik::outputToGame(p, 800, 600, p.picture.x - 1, p.picture.y, gx, gy);
      EXPECT_LT(gx, 0);
    }
  }
}
