// Games with sound checked through --audio-out: where sounds start in the captured mix, how long
// they last, STOP, SETVOLUME and SETPAN gains, looping music, and a sequence's speech with its
// talking animation. Sample positions are computed from the capture rules: frame f's tick runs at
// f × frame-ms, and everything before it is mixed first, so a sound started in it begins at sample
// floor(t × 44100 / 1000).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/animation.h"
#include "graphics/formats/png.h"
#include "sound/codec.h"

namespace {

namespace fs = std::filesystem;
constexpr int kFrameMs = 16;

int64_t sampleAt(int64_t ms) { return ms * 44100 / 1000; }

class SoundGameTest : public tarnvik::e2e::SceneGameTest {
 protected:
  // A mono 16-bit file holding `frames` copies of one value.
  void writeConstant(const std::string& relative, int rate, int frames, int16_t value) {
    std::vector<uint8_t> pcm;
    for (int i = 0; i < frames; ++i) {
      pcm.push_back(static_cast<uint8_t>(value & 0xFF));
      pcm.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    }
    writeBytes(relative, writeWavFile(PcmFormat::pcm16(1, rate), pcm));
  }
  // Runs headless at 16 ms a frame and reads the capture as interleaved stereo samples.
  std::vector<int16_t> capture(int frames, std::vector<std::string> more = {}) {
    fs::path out = dir_ / "out.wav";
    more.insert(more.end(), {"--frame-ms", std::to_string(kFrameMs), "--audio-out", out.string()});
    EXPECT_EQ(play(frames, more), 0) << err();
    std::string bytes = tarnvik::e2e::slurp(out);
    std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    WavLayout layout;
    std::string why;
    EXPECT_TRUE(readWavLayout(span, layout, why)) << why;
    EXPECT_EQ(layout.format.channels, 2);
    EXPECT_EQ(layout.format.samplesPerSec, 44100u);
    EXPECT_EQ(layout.format.bitsPerSample, 16);
    std::vector<int16_t> samples(layout.dataSize / 2);
    std::memcpy(samples.data(), bytes.data() + layout.dataOffset, samples.size() * 2);
    return samples;
  }
  // The first frame count whose mix reaches `sample`: the tick that notices an end heard there.
  static int64_t tickAfter(int64_t sample) {
    int64_t f = 1;
    while (sampleAt(f * kFrameMs) < sample) ++f;
    return f;
  }
  // Checks both sides of [from, to) against the values; reports the first mismatch only.
  static void expectSpan(const std::vector<int16_t>& s, int64_t from, int64_t to, int left, int right,
                         const char* what) {
    for (int64_t k = from; k < to; ++k) {
      if (s[2 * k] != left || s[2 * k + 1] != right) {
        ADD_FAILURE() << what << ": frame " << k << " is " << s[2 * k] << "/" << s[2 * k + 1] << ", want " << left
                      << "/" << right;
        return;
      }
    }
  }
  // An animation go.ann with the animation flags given: its event GO shows two entries at 10 frames
  // per second, the second playing tick.wav (441 samples of 7000).
  void writeTickAnimation(uint32_t animoFlags = 0) {
    std::vector<uint8_t> ann = tarnvik::e2e::tickAnimation("tick.wav", animoFlags);
    ASSERT_FALSE(ann.empty());
    writeBytes("Dane/S/go.ann", ann);
    writeConstant("Dane/S/tick.wav", 44100, 441, 7000);
  }
  // The first stereo frame that is not silent, or the capture's length.
  static int64_t firstSound(const std::vector<int16_t>& s) {
    int64_t start = 0;
    while (start < static_cast<int64_t>(s.size() / 2) && s[2 * start] == 0 && s[2 * start + 1] == 0) ++start;
    return start;
  }
};

TEST_F(SoundGameTest, SoundsStartWhereTheScriptPlayedThemAndLastTheirLength) {
  writeConstant("Dane/S/a.wav", 22050, 2205, 8000);   // 0.1 s at half the output rate
  writeConstant("Dane/S/b.wav", 44100, 1000, -6000);
  scene(integers({"DONE", "STARTS"}) +
        "OBJECT=A\nA:TYPE=SOUND\nA:FILENAME=a.wav\nA:ONFINISHED={B^PLAY();DONE^INC();}\nA:ONSTARTED={STARTS^INC();}\n"
        "OBJECT=B\nB:TYPE=SOUND\nB:FILENAME=b.wav\nB:PRELOAD=TRUE\nB:ONFINISHED={DONE^INC();}\n"
        "OBJECT=S\nS:ONINIT={A^PLAY();}\n");
  const int frames = 40;
  auto s = capture(frames);
  ASSERT_EQ(static_cast<int64_t>(s.size()), 2 * sampleAt(frames * kFrameMs)) << "the run's virtual time, to the sample";
  expectSpan(s, 0, 4410, 8000, 8000, "A from the start, resampled to twice its length");
  int64_t bStart = sampleAt(tickAfter(4410) * kFrameMs);
  expectSpan(s, 4410, bStart, 0, 0, "silence until the tick that notices A's end");
  expectSpan(s, bStart, bStart + 1000, -6000, -6000, "B");
  expectSpan(s, bStart + 1000, static_cast<int64_t>(s.size() / 2), 0, 0, "silence after B");
  EXPECT_EQ(value("DONE"), 2);
  EXPECT_EQ(value("STARTS"), 1);

  // The same game run from its precompiled form sounds the same.
  ASSERT_EQ(play(1, {"-2bin"}), 0) << err();
  ASSERT_TRUE(fs::exists(folder() / "Dane" / "S" / "S.bin")) << "a scene with sounds is precompiled";
  fs::remove(settings());
  auto again = capture(frames, {"--log", "info"});
  EXPECT_NE(err().find("running from the precompiled form"), std::string::npos) << err();
  EXPECT_EQ(again, s);
  EXPECT_EQ(value("DONE"), 2);
}

TEST_F(SoundGameTest, StopVolumeAndPanFollowTheScript) {
  writeConstant("Dane/S/c.wav", 44100, 44100, 10000);
  writeConstant("Dane/S/d.wav", 44100, 44100, 1000);
  scene(integers({"CEND", "DEND", "PLAYING"}) +
        // Volume 600 is -8 dB; pan 800 takes another 8 dB off the left. Both are set before the
        // sound is loaded and apply when it is.
        "OBJECT=C\nC:TYPE=SOUND\nC:FILENAME=c.wav\nC:ONFINISHED={CEND^INC();}\n"
        "OBJECT=D\nD:TYPE=SOUND\nD:FILENAME=d.wav\nD:ONFINISHED={DEND^INC();}\n"
        "OBJECT=T\nT:TYPE=TIMER\nT:ELAPSE=100\nT:TICKS=1\n"
        "T:ONTICK={PLAYING^SET(C^ISPLAYING());C^STOP();D^STOP(FALSE);}\n"
        "OBJECT=S\nS:ONINIT={C^SETVOLUME(600);C^SETPAN(800);C^PLAY();D^PLAY();D^SETVOLUME(25);}\n");
  auto s = capture(20);
  int64_t end = 0;
  while (end < static_cast<int64_t>(s.size() / 2) && s[2 * end + 1] != 0) ++end;
  ASSERT_GT(end, 0);
  // Left: 10000 at -16 dB; right: 10000 at -8 dB; D is silent at volume 25.
  expectSpan(s, 0, end, static_cast<int>(std::lround(10000 * std::pow(10.0, -0.8))),
             static_cast<int>(std::lround(10000 * std::pow(10.0, -0.4))), "C at its volume and pan");
  // STOP came from a frame's tick at 100 ms or the next frame.
  bool atTick = false;
  for (int f = 1; f <= 20; ++f)
    if (sampleAt(f * kFrameMs) == end && f * kFrameMs >= 100 && f * kFrameMs < 100 + 2 * kFrameMs) atTick = true;
  EXPECT_TRUE(atTick) << "stopped at frame " << end;
  expectSpan(s, end, static_cast<int64_t>(s.size() / 2), 0, 0, "silent after STOP");
  EXPECT_EQ(value("PLAYING"), 1);
  EXPECT_EQ(value("CEND"), 1) << "STOP reports the end";
  EXPECT_EQ(value("DEND"), 0) << "STOP(FALSE) does not";
}

TEST_F(SoundGameTest, SceneMusicLoopsWithoutAGapAndReportsEachLoop) {
  std::vector<uint8_t> pcm;
  const int length = 10000;
  for (int i = 0; i < length; ++i) {
    int16_t v = static_cast<int16_t>(i % 2000 + 1);
    pcm.push_back(static_cast<uint8_t>(v & 0xFF));
    pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  writeBytes("music.wav", writeWavFile(PcmFormat::pcm16(1, 44100), pcm));
  scene(integers({"LOOPS"}) + "OBJECT=S\nS:ONMUSICLOOPED={LOOPS^INC();}\nS:ONINIT={S^SETMUSICVOLUME(800);}\n",
        "S:MUSIC=music.wav\n");
  const int frames = 50;
  auto s = capture(frames);
  int64_t total = static_cast<int64_t>(s.size() / 2);
  for (int64_t k = 0; k < total; ++k)
    if (s[2 * k] != (k % length) % 2000 + 1 || s[2 * k + 1] != s[2 * k]) {
      ADD_FAILURE() << "music frame " << k << " is " << s[2 * k];
      break;
    }
  EXPECT_EQ(value("LOOPS"), total / length) << "one event per restart heard";

  // -nomusic: nothing is heard.
  auto quiet = capture(frames, {"-nomusic"});
  bool silent = true;
  for (int16_t v : quiet) silent = silent && v == 0;
  EXPECT_TRUE(silent);
}

TEST_F(SoundGameTest, BadSoundFilesAreSilentAndLoadReportsThem) {
  writeBytes("Dane/S/bad.wav", {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 0xFF, 0xFF, 0xFF, 0x7F});
  writeConstant("Dane/S/ok.wav", 44100, 100, 500);
  scene(integers({"BADLOAD", "OKLOAD", "MISSINGLOAD", "EVENTS"}) +
        "OBJECT=X\nX:TYPE=SOUND\nX:FILENAME=bad.wav\nX:ONSTARTED={EVENTS^INC();}\nX:ONFINISHED={EVENTS^INC();}\n"
        "OBJECT=S\nS:ONINIT={X^PLAY();BADLOAD^SET(X^LOAD(\"bad.wav\"));MISSINGLOAD^SET(X^LOAD(\"none.wav\"));"
        "OKLOAD^SET(X^LOAD(\"ok.wav\"));}\n");
  auto s = capture(10, {"--log", "warn"});
  EXPECT_EQ(value("BADLOAD"), 0);
  EXPECT_EQ(value("MISSINGLOAD"), 0);
  EXPECT_EQ(value("OKLOAD"), 1);
  EXPECT_EQ(value("EVENTS"), 0) << "a sound that failed to load neither starts nor finishes";
  for (int16_t v : s) ASSERT_EQ(v, 0);
  EXPECT_NE(err().find("bad.wav"), std::string::npos) << err();
}

TEST_F(SoundGameTest, SequenceSpeaksWithItsTalkingAnimation) {
  // Three 20 x 20 frames: red and green talk, blue is the idle frame.
  CAnimo animo;
  const uint16_t colours[3] = {0xF800, 0x07E0, 0x001F};
  for (uint16_t c : colours) {
    auto f = std::make_unique<CAnimoFrame>();
    ASSERT_TRUE(f->create(20, 20, 16, false));
    for (int p = 0; p < 400; ++p) f->pixels16()[p] = c;
    f->SetPosition(200, 100);
    animo.AddFrame(std::move(f));
  }
  const char* names[3] = {"TALK_1", "TALK_2", "IDLE"};
  for (int i = 0; i < 3; ++i) {
    CAnimoEvent e;
    e.name = names[i];
    e.fps = 10;
    CAnimoEntry entry;
    entry.frame = i;
    e.entries.push_back(entry);
    animo.AddEvent(e);
  }
  std::vector<uint8_t> ann;
  ASSERT_TRUE(animo.SaveToMemory(0, ann));
  writeBytes("Dane/S/talk.ann", ann);
  writeConstant("Dane/S/speech.wav", 44100, 22050, 3000);  // half a second
  write("Dane/S/dialog.seq",
        "# a speaking node inside a sequence\nNAME=DIALOG\nDIALOG:TYPE=SEQUENCE\nDIALOG:MODE=SEQUENCE\n"
        "NAME=LINE\nLINE:TYPE=SPEAKING\nLINE:ANIMOFN=talk.ann\nLINE:WAVFN=speech.wav\nLINE:PREFIX=TALK\n"
        "DIALOG:ADD=LINE\n");
  scene(integers({"STARTED", "LINEDONE", "DONE", "PLAYINGNOW"}) +
        "OBJECT=Q\nQ:TYPE=SEQUENCE\nQ:FILENAME=dialog.seq\nQ:ONSTARTED^DIALOG={STARTED^INC();}\n"
        "Q:ONFINISHED^LINE={LINEDONE^INC();}\nQ:ONFINISHED^DIALOG={DONE^INC();}\n"
        "OBJECT=T\nT:TYPE=TIMER\nT:ELAPSE=200\nT:TICKS=1\nT:ONTICK={PLAYINGNOW^SET(Q^ISPLAYING());}\n"
        "OBJECT=S\nS:ONINIT={Q^PLAY(\"DIALOG\");}\n");
  fs::path shot = dir_ / "talk.png";
  auto s = capture(20, {"--screenshot", shot.string()});
  expectSpan(s, 0, 22050 < static_cast<int64_t>(s.size() / 2) ? 22050 : static_cast<int64_t>(s.size() / 2), 3000,
             3000, "the speech from the start");
  tarnvik::png::Image got;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read(shot.string(), got, error)) << error;
  const uint8_t* q = &got.pixels[(static_cast<size_t>(110) * 800 + 210) * 3];
  bool red = q[0] == 255 && q[1] == 0 && q[2] == 0, green = q[0] == 0 && q[1] == 255 && q[2] == 0;
  EXPECT_TRUE(red || green) << "a talking frame at frame 20, not " << int(q[0]) << "," << int(q[1]) << "," << int(q[2]);
  EXPECT_EQ(value("STARTED"), 1);
  EXPECT_EQ(value("PLAYINGNOW"), 1);
  EXPECT_EQ(value("LINEDONE"), 0) << "still speaking";

  // Played to its end: the line and then the sequence finish, once each.
  auto all = capture(40);
  expectSpan(all, 0, 22050, 3000, 3000, "the whole speech");
  expectSpan(all, 22050, static_cast<int64_t>(all.size() / 2), 0, 0, "silence after it");
  EXPECT_EQ(value("LINEDONE"), 1);
  EXPECT_EQ(value("DONE"), 1);

  // From the precompiled form: the same sound and the same events.
  ASSERT_EQ(play(1, {"-2bin"}), 0) << err();
  fs::remove(settings());
  EXPECT_EQ(capture(40, {"--log", "info"}), all);
  EXPECT_NE(err().find("running from the precompiled form"), std::string::npos) << err();
  EXPECT_EQ(value("LINEDONE"), 1);
  EXPECT_EQ(value("DONE"), 1);
}

TEST_F(SoundGameTest, MasterVolumeScalesTheWholeMixAndNoSoundSilencesEffects) {
  writeConstant("Dane/S/c.wav", 44100, 4410, 10000);
  scene(integers({"ENDS"}) + "OBJECT=C\nC:TYPE=SOUND\nC:FILENAME=c.wav\nC:ONFINISHED={ENDS^INC();}\n"
        "OBJECT=S\nS:ONINIT={C^PLAY();}\n");
  auto half = capture(10, {"--volume", "50"});
  expectSpan(half, 0, 4410, 5000, 5000, "half the amplitude");
  auto none = capture(10, {"--volume", "0"});
  expectSpan(none, 0, static_cast<int64_t>(none.size() / 2), 0, 0, "volume 0");
  fs::remove(settings());
  auto quiet = capture(10, {"-nosound"});
  expectSpan(quiet, 0, static_cast<int64_t>(quiet.size() / 2), 0, 0, "-nosound");
  EXPECT_EQ(value("ENDS"), 1) << "a silenced effect still ends and reports it";
}

TEST_F(SoundGameTest, AnimationFramesPlayTheirSounds) {
  writeTickAnimation();
  scene("OBJECT=A\nA:TYPE=ANIMO\nA:FILENAME=go.ann\nA:TOCANVAS=TRUE\nOBJECT=S\nS:ONINIT={A^PLAY(\"GO\");}\n");
  auto s = capture(20);
  int64_t start = firstSound(s);
  // The second entry is shown by the first tick at or after 100 ms, and its sound starts there.
  int64_t tick = 0;
  for (int64_t f = 1; f <= 20 && !tick; ++f)
    if (f * kFrameMs >= 100) tick = f * kFrameMs;
  EXPECT_EQ(start, sampleAt(tick));
  expectSpan(s, start, start + 441, 7000, 7000, "the frame's sound");
  expectSpan(s, start + 441, static_cast<int64_t>(s.size() / 2), 0, 0, "once");
}

TEST_F(SoundGameTest, AnimationFlaggedWithoutSoundsPlaysNone) {
  writeTickAnimation(CAnimo::kNoSounds);
  scene("OBJECT=A\nA:TYPE=ANIMO\nA:FILENAME=go.ann\nA:TOCANVAS=TRUE\nOBJECT=S\nS:ONINIT={A^PLAY(\"GO\");}\n");
  auto s = capture(20);
  EXPECT_EQ(firstSound(s), static_cast<int64_t>(s.size() / 2)) << "the entries' sounds are not loaded";
}

TEST_F(SoundGameTest, AnimationVolumePanAndFrequencyReachItsEntrySounds) {
  writeTickAnimation();
  // Device units: -800 is -8 dB; pan 800 takes 8 dB off the left; 22050 plays at half speed.
  scene("OBJECT=A\nA:TYPE=ANIMO\nA:FILENAME=go.ann\nA:TOCANVAS=TRUE\n"
        "OBJECT=S\nS:ONINIT={A^SETVOLUME(-800);A^SETPAN(800);A^SETFREQ(22050);A^PLAY(\"GO\");}\n");
  auto s = capture(30);
  int64_t start = firstSound(s);
  ASSERT_LT(start, static_cast<int64_t>(s.size() / 2));
  int64_t end = start;
  while (end < static_cast<int64_t>(s.size() / 2) && (s[2 * end] != 0 || s[2 * end + 1] != 0)) ++end;
  EXPECT_NEAR(end - start, 882, 2) << "441 samples at half speed";
  // Within one step of the exact gains (the mixer's fixed-point gain may round down).
  const double left = 7000 * std::pow(10.0, -0.8), right = 7000 * std::pow(10.0, -0.4);
  for (int64_t k = start + 2; k < end - 2; ++k)
    if (std::abs(s[2 * k] - left) > 1 || std::abs(s[2 * k + 1] - right) > 1) {
      ADD_FAILURE() << "frame " << k << " is " << s[2 * k] << "/" << s[2 * k + 1] << ", want " << left << "/" << right;
      break;
    }
}

TEST_F(SoundGameTest, SequenceParameterTakesItsCharactersFromTheArrayItNames) {
  writeConstant("Dane/S/a.wav", 44100, 441, 1000);
  writeConstant("Dane/S/b.wav", 44100, 441, 2000);
  writeConstant("Dane/S/c.wav", 44100, 441, 3000);
  write("Dane/S/pick.seq",
        "NAME=PICK\nPICK:TYPE=SEQUENCE\nPICK:MODE=PARAMETER\nNAME=A\nA:TYPE=SIMPLE\nA:FILENAME=a.wav\n"
        "NAME=B\nB:TYPE=SIMPLE\nB:FILENAME=b.wav\nNAME=C\nC:TYPE=SIMPLE\nC:FILENAME=c.wav\n"
        "PICK:ADD=A\nPICK:ADD=B\nPICK:ADD=C\n");
  // The array X holds 2: the parameter "X" becomes "3", the third child. "Y" names no array and
  // stays: index 33, beyond the children.
  scene("OBJECT=Q\nQ:TYPE=SEQUENCE\nQ:FILENAME=pick.seq\nOBJECT=X\nX:TYPE=ARRAY\n"
        "OBJECT=T\nT:TYPE=TIMER\nT:ELAPSE=100\nT:TICKS=1\nT:ONTICK={Q^PLAY(\"PICK\",\"Y\");}\n"
        "OBJECT=S\nS:ONINIT={X^ADD(2);Q^PLAY(\"PICK\",\"X\");}\n");
  auto s = capture(20);
  expectSpan(s, 0, 441, 3000, 3000, "the third child");
  expectSpan(s, 441, static_cast<int64_t>(s.size() / 2), 0, 0, "nothing for Y");
}

TEST_F(SoundGameTest, SceneNamesItsPlayingAnimationAndSequenceAndResumesSequencesOnly) {
  writeTickAnimation();
  writeConstant("Dane/S/long.wav", 44100, 44100, 1000);
  write("Dane/S/one.seq", "NAME=ONE\nONE:TYPE=SEQUENCE\nONE:MODE=SEQUENCE\nNAME=L\nL:TYPE=SIMPLE\nL:FILENAME=long.wav\n"
                          "ONE:ADD=L\n");
  scene("OBJECT=IDLE\nIDLE:TYPE=ANIMO\nIDLE:FILENAME=go.ann\nOBJECT=A\nA:TYPE=ANIMO\nA:FILENAME=go.ann\n"
        "OBJECT=Q0\nQ0:TYPE=SEQUENCE\nQ0:FILENAME=one.seq\nOBJECT=Q\nQ:TYPE=SEQUENCE\nQ:FILENAME=one.seq\n"
        "OBJECT=ANIM\nANIM:TYPE=STRING\nANIM:TOINI=TRUE\nOBJECT=SEQ\nSEQ:TYPE=STRING\nSEQ:TOINI=TRUE\n"
        "OBJECT=LATER\nLATER:TYPE=STRING\nLATER:TOINI=TRUE\n" +
        onceAfter("P", 96, "S^PAUSE(TRUE);") + onceAfter("R", 192, "S^RESUMESEQONLY();LATER^SET(S^GETPLAYINGANIMO());") +
        "OBJECT=S\nS:ONINIT={A^PLAY(\"GO\");Q^PLAY(\"ONE\");ANIM^SET(S^GETPLAYINGANIMO());"
        "SEQ^SET(S^GETPLAYINGSEQ());}\n");
  auto s = capture(20);
  EXPECT_EQ(text("ANIM"), "A");
  EXPECT_EQ(text("SEQ"), "Q");
  EXPECT_EQ(text("LATER"), "") << "the animation stays paused";
  expectSpan(s, 0, sampleAt(96), 1000, 1000, "the sequence before the pause");
  expectSpan(s, sampleAt(96), sampleAt(192), 0, 0, "paused with the scene");
  expectSpan(s, sampleAt(192), static_cast<int64_t>(s.size() / 2), 1000, 1000, "resumed alone");
}

TEST_F(SoundGameTest, ClonedButtonTimerAndSoundWorkLikeTheirOriginals) {
  writeConstant("Dane/S/tick.wav", 44100, 441, 7000);
  scene(integers({"CLICKS", "TICKS", "CLONESTARTS"}) +
        "OBJECT=BTN\nBTN:TYPE=BUTTON\nBTN:RECT=100,100,140,120\nBTN:ONCLICKED={CLICKS^INC();}\n"
        "OBJECT=T\nT:TYPE=TIMER\nT:ELAPSE=50\nT:TICKS=2\nT:ONTICK={TICKS^INC();}\n"
        "OBJECT=SND\nSND:TYPE=SOUND\nSND:FILENAME=tick.wav\n"
        "OBJECT=S\nS:ONINIT={BTN^CLONE(1);BTN_1^SETRECT(200,200,240,220);T^CLONE(1);SND^CLONE(1);"
        "SND_1^ADDBEHAVIOUR(\"ONSTARTED\",\"{CLONESTARTS^INC();}\");SND_1^PLAY();}\n");
  fs::path input = dir_ / "input.txt";
  std::ofstream(input) << "2 click 110 110\n4 click 210 210\n";
  auto s = capture(20, {"--input", input.string()});
  EXPECT_EQ(value("CLICKS"), 2) << "the clone hears clicks in its own rectangle";
  EXPECT_EQ(value("TICKS"), 4) << "two ticks each";
  EXPECT_EQ(value("CLONESTARTS"), 1);
  EXPECT_EQ(firstSound(s), 0) << "the clone's sound plays from the start";
}

// A windowed run under Xvfb with SDL's disk audio driver (the device writes what it pulls to a file)
// hears the same sound as the headless capture, once the device's leading silence is skipped.
TEST_F(SoundGameTest, WindowedRunWithTheDiskDriverHearsTheSameSound) {
  if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed (make deps installs it)";
  writeConstant("Dane/S/a.wav", 22050, 2205, 8000);
  writeConstant("Dane/S/b.wav", 44100, 300, -4000);
  scene(integers({"DONE"}) + "OBJECT=A\nA:TYPE=SOUND\nA:FILENAME=a.wav\nA:ONFINISHED={B^PLAY();}\n"
        "OBJECT=B\nB:TYPE=SOUND\nB:FILENAME=b.wav\nB:ONFINISHED={DONE^INC();}\nOBJECT=S\nS:ONINIT={A^PLAY();}\n");
  auto headless = capture(40);
  const std::string script = R"sh(P="$1"; D="$2"; G="$3"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$D/disk.raw" "$P" --frames 60 --settings "$D/w.ini" --log info -window -path "$G"
)sh";
  tarnvik::e2e::PlayerRun run = finish(spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c",
                                              script, "sh", program(), dir_.string(), folder().string()}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("SDL audio (disk)"), std::string::npos) << run.err;
  EXPECT_EQ(CConfig((dir_ / "w.ini").string()).GetInt("S", "DONE", 0), 1);
  std::string raw = tarnvik::e2e::slurp(dir_ / "disk.raw");
  std::vector<int16_t> heard(raw.size() / 2);
  std::memcpy(heard.data(), raw.data(), heard.size() * 2);
  size_t first = 0;
  while (first < heard.size() && heard[first] == 0) ++first;
  ASSERT_LT(first + 2 * 4410, heard.size()) << "the sound was not heard";
  // A exactly as headless; B follows after a pause that depends on the real frame times.
  EXPECT_TRUE(std::equal(headless.begin(), headless.begin() + 2 * 4410, heard.begin() + static_cast<ptrdiff_t>(first)));
  size_t b = first + 2 * 4410;
  while (b < heard.size() && heard[b] == 0) ++b;
  ASSERT_LT(b + 600, heard.size());
  for (size_t k = 0; k < 600; ++k) ASSERT_EQ(heard[b + k], -4000) << k;
  EXPECT_EQ(heard[b + 600], 0);
}

// A windowed run on a machine without a sound card (and no sound server): one line of the player's
// own says that the game plays without sound, and nothing of the sound libraries is printed; the
// game's sounds still run to their end.
TEST_F(SoundGameTest, WithoutASoundDeviceOneLineSaysSoAndTheSoundsStillEnd) {
  if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed (make deps installs it)";
  std::ifstream cards("/proc/asound/cards");
  std::string first;
  if (cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos)
    GTEST_SKIP() << "this machine has a sound card";
  writeConstant("Dane/S/a.wav", 22050, 2205, 8000);
  scene(integers({"DONE"}) + "OBJECT=A\nA:TYPE=SOUND\nA:FILENAME=a.wav\nA:ONFINISHED={DONE^INC();}\n"
        "OBJECT=S\nS:ONINIT={A^PLAY();}\n");
  const std::string script = R"sh(P="$1"; D="$2"; G="$3"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
unset SDL_AUDIODRIVER PULSE_SERVER
XDG_RUNTIME_DIR="$D" "$P" --frames 30 --settings "$D/w.ini" -window "$G"
)sh";
  tarnvik::e2e::PlayerRun run = finish(spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c",
                                              script, "sh", program(), dir_.string(), folder().string()}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "tarnvik: no sound device; the game plays without sound\n");
  EXPECT_EQ(CConfig((dir_ / "w.ini").string()).GetInt("S", "DONE", 0), 1);
}

}  // namespace
