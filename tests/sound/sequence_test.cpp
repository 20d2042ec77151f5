// Sequence files and their playables: how children are chosen and waited for, speech ends, the
// reader's comments and unknown names. Leaves are sounds whose ends the manager's poll notices.
#include <gtest/gtest.h>

#include "sound/sequence.h"
#include "sound/sound_fixture.h"

namespace {

class SequenceTest : public sound_test::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    // Each sound holds its letter's value, so the mix tells which ones play.
    a_ = file("a.wav", std::vector<uint8_t>(200, 0x01));  // 100 frames of 0x0101
    b_ = file("b.wav", std::vector<uint8_t>(400, 0x02));
    c_ = file("c.wav", std::vector<uint8_t>(800, 0x04));
  }
  std::unique_ptr<CSequenceTree> tree(const std::string& text) {
    std::string all = "NAME=A\nA:FILENAME=" + a_.str() + "\nNAME=B\nB:FILENAME=" + b_.str() + "\nNAME=C\nC:FILENAME=" +
                      c_.str() + "\n" + text;
    return CMultimediaSequenceCreator::build(nullptr, all, CXString("ROOT"));
  }
  // The left sample of the next mixed frame, after the poll.
  int next() {
    manager.domodal();
    return render(1)[0];
  }
  CXString a_, b_, c_;
};

TEST_F(SequenceTest, ParameterChoosesTheChildByItsFirstCharacter) {
  auto t = tree("NAME=ROOT\nROOT:TYPE=SEQUENCE\nROOT:MODE=PARAMETER\nROOT:ADD=A\nROOT:ADD=B\nROOT:ADD=C\n");
  auto* root = t->getRoot();
  ASSERT_TRUE(root);
  Events events;
  root->addNotifier(&events);
  root->setParameter(CXString("2"));
  root->play();
  EXPECT_EQ(next(), 0x0202) << "'2' is the second child";
  EXPECT_EQ(t->find(CXString("B"))->getParameter(), CXString("2")) << "the parameter is handed down";
  render(300);
  manager.domodal();
  EXPECT_EQ(events.finished, 1) << "the node ends with its child";
  root->setParameter(CXString("A"));
  root->play();
  EXPECT_EQ(next(), 0) << "'A' is index 9: beyond the children, nothing starts";
  EXPECT_EQ(events.finished, 2);
  EXPECT_EQ(CSequencedPlayable::parameterIndex(CXString("z")), 60);
  EXPECT_EQ(CSequencedPlayable::parameterIndex(CXString("0")), -1);
  root->removeNotifier(&events);
}

TEST_F(SequenceTest, ChildrenThatDoNotWaitStartTogether) {
  auto t = tree("NAME=ROOT\nROOT:TYPE=SEQUENCE\nROOT:ADD=A\nROOT:ADD=B\nROOT:ADD=C\nA:WAIT=FALSE\nB:WAIT=FALSE\n"
                "NAME=NEXT\nNEXT:TYPE=SEQUENCE\nNEXT:ADD=C\nNEXT:ADD=B\n");
  auto* root = t->getRoot();
  Events events;
  root->addNotifier(&events);
  root->play();
  EXPECT_EQ(next(), 0x0707) << "all three at once";
  render(250);  // A and B have ended, C plays on
  EXPECT_EQ(next(), 0x0404);
  EXPECT_EQ(events.finished, 0) << "the third one is waited for";
  render(200);
  manager.domodal();
  EXPECT_EQ(events.finished, 1);
  root->removeNotifier(&events);

  // A waiting child (the default) is followed by the next one when it ends; the wait flag belongs
  // to the element, in every sequence that adds it.
  auto* chain = static_cast<CSequencedPlayable*>(t->find(CXString("NEXT")));
  chain->play();
  EXPECT_EQ(next(), 0x0404);
  render(450);
  EXPECT_EQ(next(), 0x0202) << "B after C's end was noticed";
  EXPECT_EQ(chain->getCurrent(), 1);
  chain->seek(-1);
  EXPECT_EQ(next(), 0x0404) << "seek -1: the first child again";
  chain->seek(-4);
  EXPECT_EQ(chain->getCurrent(), 1);
  chain->seek(-4);
  EXPECT_EQ(chain->getCurrent(), -1) << "past the last: none";
}

TEST_F(SequenceTest, RandomPlaysOneChildAndPauseActsOnIt) {
  auto t = tree("NAME=ROOT\nROOT:TYPE=SEQUENCE\nROOT:MODE=RANDOM\nROOT:ADD=A\nROOT:ADD=B\n");
  auto* root = t->getRoot();
  root->play();
  int v = next();
  EXPECT_TRUE(v == 0x0101 || v == 0x0202) << v;
  root->pause();
  EXPECT_EQ(next(), 0);
  root->resume();
  EXPECT_EQ(next(), v);
  root->stop(false);
  EXPECT_EQ(next(), 0);
  EXPECT_FALSE(root->isPlaying());
}

TEST_F(SequenceTest, ReaderSkipsCommentsAndUnknownNames) {
  auto t = tree("#NAME=HIDDEN\nNAME=ROOT\nROOT:TYPE=SEQUENCE\nROOT:ADD=NOBODY\nGHOST:TYPE=SEQUENCE\nNAME=ROOT\n"
                "ROOT:ADD=ROOT\nROOT:ADD=A\n");
  EXPECT_FALSE(t->find(CXString("HIDDEN")));
  EXPECT_FALSE(t->find(CXString("GHOST")));
  auto* root = static_cast<CSequencedPlayable*>(t->getRoot());
  ASSERT_TRUE(root);
  EXPECT_EQ(root->size(), 1u) << "unknown children and the node itself are not added";
  EXPECT_EQ(t->all().size(), 4u);
}

TEST_F(SequenceTest, SpeakingNodeEndsWithItsSpeechEvenWithoutAnAnimation) {
  auto t = tree("NAME=ROOT\nROOT:TYPE=SPEAKING\nROOT:WAVFN=" + b_.str() + "\nROOT:PREFIX=TALK\nROOT:ENDING=TRUE\n");
  auto* root = t->getRoot();
  Events events;
  root->addNotifier(&events);
  root->play();
  EXPECT_EQ(events.started, 1);
  EXPECT_EQ(next(), 0x0202);
  render(250);
  manager.domodal();
  EXPECT_EQ(events.finished, 1);
  EXPECT_FALSE(root->isPlaying());
  // A missing speech file does not stall the tree.
  auto silent = tree("NAME=ROOT\nROOT:TYPE=SPEAKING\nROOT:WAVFN=none.wav\n");
  Events quiet;
  silent->getRoot()->addNotifier(&quiet);
  silent->getRoot()->play();
  EXPECT_EQ(quiet.finished, 1);
  silent->getRoot()->removeNotifier(&quiet);
  root->removeNotifier(&events);
}

}  // namespace
