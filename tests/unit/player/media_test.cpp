// The arithmetic of the media engine: volume scales, position texts, the
// time scale that mends ADPCM WAV files and the words of command strings.

#include "player/media/engine_mends.h"
#include "player/media/multimedia_commands.h"
#include "player/media/position_text.h"
#include "player/media/system_sounds.h"
#include "player/media/volume_scale.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

TEST(MediaScales, VolumesBecomeAttenuations) {
  struct Case {
    int64_t volume;
    int32_t sound, video;
  };
  const Case cases[] = {
      {10000, 0, 0}, {0, -10000, -10000}, {5000, -752, -5000}, {20000, 0, 0}, {-5, -10000, -10000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SoundAttenuation(ClampVolume(c.volume)), c.sound) << c.volume;
    EXPECT_EQ(VideoAttenuation(ClampVolume(c.volume)), c.video) << c.volume;
  }
}

TEST(MediaScales, PositionsSplitIntoWholeSeconds) {
  struct Case {
    int64_t ms;
    const char* text;
    int64_t hours, minutes, seconds;
  };
  const Case cases[] = {
      {3723456, "01:02:03", 1, 2, 3},
      {999, "00:00:00", 0, 0, 0},
      {360000000, "100:00:00", 100, 0, 0},
      {59999, "00:00:59", 0, 0, 59},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PositionText(c.ms), c.text);
    const PositionParts p = SplitPosition(c.ms);
    EXPECT_EQ(p.hours, c.hours);
    EXPECT_EQ(p.minutes, c.minutes);
    EXPECT_EQ(p.seconds, c.seconds);
  }
}

TEST(MediaMends, AdpcmTimeScaleOnlyWhereTheParserIsWrong) {
  // Mono IMA blocks of 1024 bytes hold 2041 samples (46.28 ms at 44100 Hz);
  // the parser claims 23.13 ms.
  EXPECT_NEAR(AdpcmTimeScale(true, 1, 44100, 1024, 23129744), 2.0009, 0.001);
  // Mono MS ADPCM: 2036 samples.
  EXPECT_NEAR(AdpcmTimeScale(false, 1, 44100, 1024, 23040000), 2.0038, 0.001);
  // A parser that gets it right, or stereo files, are left alone.
  EXPECT_EQ(AdpcmTimeScale(true, 1, 44100, 1024, 46281179), 1.0);
  EXPECT_EQ(AdpcmTimeScale(true, 2, 44100, 1024, 23061224), 1.0);
  EXPECT_EQ(AdpcmTimeScale(true, 1, 44100, 2, 1000), 1.0);
}

TEST(MultimediaCommands, WordsKeepQuotedSpaces) {
  EXPECT_EQ(
      CommandWords("open \"C:\\My Music\\a.mid\" type sequencer  alias m"),
      (std::vector<std::string>{"open", "C:\\My Music\\a.mid", "type", "sequencer", "alias", "m"}));
  EXPECT_TRUE(CommandWords("   ").empty());
}

TEST(SystemSounds, BeepTypesNameThemeSounds) {
  EXPECT_STREQ(BeepSoundName(0x10), "dialog-error");
  EXPECT_STREQ(BeepSoundName(0x30), "dialog-warning");
  EXPECT_STREQ(BeepSoundName(0x40), "dialog-information");
  EXPECT_STREQ(BeepSoundName(-1), "bell");
}

}  // namespace
}  // namespace morvane
