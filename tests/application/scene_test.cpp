// Scene state that scripts steer: music device values, pausing, episode navigation.
#include <gtest/gtest.h>

#include "application/scene.h"
#include "definitions/melement.h"
#include "foundation/xtimer.h"

TEST(SceneMusic, VolumeAndPanMappings) {
  EXPECT_EQ(CMC_Scene::musicVolumeFromScript(800), 0);
  EXPECT_EQ(CMC_Scene::musicVolumeFromScript(25), -10000);  // -3100 is already silent
  EXPECT_EQ(CMC_Scene::musicVolumeFromScript(0), -10000);
  EXPECT_EQ(CMC_Scene::musicVolumeFromScript(700), -400);
  EXPECT_EQ(CMC_Scene::musicPanFromScript(400), 0);
  EXPECT_EQ(CMC_Scene::musicPanFromScript(0), -800);
  EXPECT_EQ(CMC_Scene::musicPanFromScript(800), 800);
  EXPECT_EQ(CMC_Scene::musicPanFromScript(-2000), -10000);
  EXPECT_EQ(CMC_Scene::musicPanFromScript(2000), 10000);
  EXPECT_EQ(CMC_Scene::musicVolumeFromScript(INT32_MIN), -10000);  // no overflow on extreme values
}

TEST(ScenePause, PauseStopsTimersUnlessAskedToKeepThem) {
  CMC_Scene scene(nullptr, CXString("S"), nullptr);
  scene.pause(false);
  EXPECT_TRUE(scene.isPaused());
  EXPECT_FALSE(CXTimer::isEnabled());
  scene.pause(false);  // already paused: nothing changes
  scene.resume();
  EXPECT_FALSE(scene.isPaused());
  EXPECT_TRUE(CXTimer::isEnabled());
  scene.pause(true);
  EXPECT_TRUE(CXTimer::isEnabled());
  scene.resume();
}

TEST(EpisodeNavigation, NextPrevBackAtTheEdges) {
  CMElement element(CXString("EP"));
  CMC_Episode episode(nullptr, &element, nullptr);
  CMC_Scene a(nullptr, CXString("A"), &episode), b(nullptr, CXString("B"), &episode);
  episode.addChild(&a);
  episode.addChild(&b);
  EXPECT_EQ(episode.nextScene(), nullptr);  // no current scene yet
  EXPECT_FALSE(episode.back());
  episode.history().push_back(&a);
  EXPECT_FALSE(episode.back());  // one entry: nothing to go back to
  episode.history().push_back(&b);
  EXPECT_TRUE(episode.back());
  EXPECT_EQ(episode.getPending(), &a);
  ASSERT_EQ(episode.getHistory().size(), 1u);
  episode._goto(CXString("B"));
  EXPECT_EQ(episode.getPending(), &b);
  episode._goto(CXString("NOPE"));
  EXPECT_EQ(episode.getPending(), nullptr);
}
