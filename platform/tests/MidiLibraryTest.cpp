// The MIDI library end to end: real FluidSynth, real SoundFont, and SDL's disk audio driver writing
// the rendered output to a file that the tests then listen to. The driver runs without pacing
// (SDL_DISKAUDIODELAY=0), and everything is measured in frames of audio, so the tests do not
// depend on the speed of the machine. No sound card is needed.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/MidiLibrary.h"
#include "platform/tests/SmfWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

constexpr uint32_t kSecond = smf::kTicksPerSecond;
constexpr int32_t kLoop = 7;  // as the player passes them
constexpr int32_t kOnce = 6;

// A rendered signal counts as sound above this RMS and as silence below the floor. Music at the
// library's gain is around 0.1; FluidSynth renders exact zeros once every voice has ended.
constexpr double kSoundRms = 0.02;
constexpr double kSilenceRms = 1e-4;

// An organ chord held for one second: it sounds without a gap until its notes are released.
std::vector<uint8_t> HeldChord() {
  return smf::Make(19, {{0, kSecond, 60, 100}, {0, kSecond, 64, 100}, {0, kSecond, 67, 100}},
                   kSecond);
}
// One short piano note, then silence until the track ends at one second.
std::vector<uint8_t> ShortNote() {
  return smf::Make(0, {{0, kSecond / 5, 72, 110}}, kSecond);
}

class MidiLibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/morvi-midi-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    output_ = dir_ + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    unsetenv("SDL_SOUNDFONTS");
    SetDefaultSoundFont(kDebianSoundFont);
    smf::Write(Path("held.mid"), HeldChord());
    smf::Write(Path("short.mid"), ShortNote());
  }

  void TearDown() override {
    GGSFree();
    SetDefaultSoundFont(kDebianSoundFont);
    unsetenv("SDL_SOUNDFONTS");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  int Rate() const { return MidiStatus().sampleRate; }
  uint64_t Frames(double seconds) const { return static_cast<uint64_t>(seconds * Rate()); }

  // Lets the audio thread render until the callback has produced `frames` frames in all.
  void RunUntil(uint64_t frames) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (MidiStatus().framesRendered < frames) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the audio callback stalled";
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Closes the library and reads what the callback rendered, as left/right float pairs, so that
  // frame n of the result is the n-th frame the callback produced. SDL writes silence while the
  // device is still paused after opening; that lead-in is dropped.
  std::vector<float> Output() {
    const uint64_t rendered = MidiStatus().framesRendered;
    GGSFree();
    std::ifstream file(output_, std::ios::binary | std::ios::ate);
    const auto bytes = static_cast<size_t>(file.tellg());
    std::vector<float> samples(bytes / sizeof(float));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(float)));
    const uint64_t written = samples.size() / 2;
    EXPECT_GE(written, rendered);
    if (written < rendered) return {};
    samples.erase(samples.begin(),
                  samples.begin() + static_cast<ptrdiff_t>(2 * (written - rendered)));
    return samples;
  }

  // Root mean square of frames [from, to) of both channels.
  static double Rms(const std::vector<float>& samples, uint64_t from, uint64_t to) {
    to = std::min<uint64_t>(to, samples.size() / 2);
    if (from >= to) {
      ADD_FAILURE() << "window [" << from << ", " << to << ") is empty";
      return 0;
    }
    double sum = 0;
    for (uint64_t i = 2 * from; i < 2 * to; ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(2 * (to - from)));
  }

  std::string dir_;
  std::string output_;
};

TEST_F(MidiLibraryTest, PlaysSoundNotSilence) {
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  ASSERT_EQ(GGSLoadFile(Path("held.mid").c_str(), 1), 0);
  ASSERT_EQ(GGSPlay(kOnce, 0, 0), 0);
  const uint64_t start = MidiStatus().framesAtLastPlay;
  RunUntil(start + Frames(1.0));
  const std::vector<float> out = Output();
  const double rms = Rms(out, start + Frames(0.1), start + Frames(0.9));
  EXPECT_GT(rms, kSoundRms);
  // Loud enough to listen to, and not clipped.
  const float peak = *std::max_element(
      out.begin(), out.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
  EXPECT_LT(std::fabs(peak), 1.0f);
  // The piece starts at once: the first 50 ms already sound.
  EXPECT_GT(Rms(out, start, start + Frames(0.05)), kSoundRms);
}

TEST_F(MidiLibraryTest, StopFallsSilentWithinATenthOfASecond) {
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  GGSLoadFile(Path("held.mid").c_str(), 1);
  GGSPlay(kLoop, 0, 0);
  RunUntil(MidiStatus().framesAtLastPlay + Frames(0.5));
  EXPECT_EQ(GGSStop(), 0);
  const uint64_t stop = MidiStatus().framesAtLastStop;
  RunUntil(stop + Frames(0.6));
  const std::vector<float> out = Output();
  EXPECT_GT(Rms(out, stop - Frames(0.2), stop), kSoundRms);
  EXPECT_LT(Rms(out, stop + Frames(0.1), stop + Frames(0.6)), kSilenceRms);
}

TEST_F(MidiLibraryTest, LoopBitDecidesWhetherThePieceGoesOnPastItsEnd) {
  for (const bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "looped" : "once");
    ASSERT_EQ(GGSSetDevice(-1, 0), 0);
    GGSLoadFile(Path("held.mid").c_str(), 1);
    GGSPlay(loop ? kLoop : kOnce, 0, 0);
    const uint64_t start = MidiStatus().framesAtLastPlay;
    RunUntil(start + Frames(3.5));
    const std::vector<float> out = Output();
    // The piece lasts one second; look at every quarter second from one second after its end,
    // when the released notes and their reverberation have faded, to twice its length.
    for (double at = 2.0; at < 3.5; at += 0.25) {
      const double rms = Rms(out, start + Frames(at), start + Frames(at + 0.25));
      if (loop) {
        EXPECT_GT(rms, kSoundRms) << "at " << at << " s";
      } else {
        EXPECT_LT(rms, kSilenceRms) << "at " << at << " s";
      }
    }
  }
}

TEST_F(MidiLibraryTest, SecondPieceReplacesTheFirst) {
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  GGSLoadFile(Path("held.mid").c_str(), 1);
  GGSPlay(kLoop, 0, 0);
  RunUntil(MidiStatus().framesAtLastPlay + Frames(0.5));
  // No GGSStop in between: playing the new piece alone must end the looping chord.
  GGSLoadFile(Path("short.mid").c_str(), 1);
  GGSPlay(kOnce, 0, 0);
  const uint64_t second = MidiStatus().framesAtLastPlay;
  RunUntil(second + Frames(1.6));
  const std::vector<float> out = Output();
  // Rendering runs faster than real time here, so a start delayed by the machine's load (the
  // new preset's samples are loaded as the piece starts) shows as more audio than it would at a
  // sound card's pace: the piece must sound within its first half second.
  double loudest = 0;
  for (double at = 0; at <= 0.35; at += 0.05) {
    loudest = std::max(loudest, Rms(out, second + Frames(at), second + Frames(at + 0.15)));
  }
  EXPECT_GT(loudest, kSoundRms) << "the second piece starts";
  EXPECT_LT(Rms(out, second + Frames(1.0), second + Frames(1.6)), kSilenceRms)
      << "nothing of the first piece is left once the second has ended";
}

TEST_F(MidiLibraryTest, PlayAfterStopStartsThePieceAgain) {
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  GGSLoadFile(Path("short.mid").c_str(), 1);
  GGSPlay(kOnce, 0, 0);
  RunUntil(MidiStatus().framesAtLastPlay + Frames(0.1));
  GGSStop();
  GGSPlay(kOnce, 0, 0);
  const uint64_t again = MidiStatus().framesAtLastPlay;
  RunUntil(again + Frames(0.2));
  const std::vector<float> out = Output();
  EXPECT_GT(Rms(out, again, again + Frames(0.15)), kSoundRms);
}

// Files the library must refuse without a sound and without a crash. Each follows a piece that
// played, to show that a failed load leaves nothing behind to replay.
struct TBadFile {
  const char* name;
  void (*make)(const std::string& path);
  const char* warning;
};
void PrintTo(const TBadFile& c, std::ostream* out) {
  *out << c.name;
}

const TBadFile BadFiles[] = {
    {"missing", [](const std::string&) {}, "MIDI file not found"},
    {"text", [](const std::string& path) { std::ofstream(path) << "this is not music\n"; },
     "not a Standard MIDI File"},
    {"empty", [](const std::string& path) { std::ofstream{path}; }, "not a Standard MIDI File"},
    {"truncated",
     [](const std::string& path) {
       std::vector<uint8_t> bytes = HeldChord();
       bytes.resize(bytes.size() - 10);
       smf::Write(path, bytes);
     },
     "damaged or truncated Standard MIDI File"},
    {"header only",
     [](const std::string& path) {
       std::vector<uint8_t> bytes = HeldChord();
       bytes.resize(14);
       smf::Write(path, bytes);
     },
     "damaged or truncated Standard MIDI File"},
    // A track whose End-of-Track is gone: FluidSynth's parser would read on without end.
    {"track without its end",
     [](const std::string& path) {
       std::vector<uint8_t> bytes = HeldChord();
       bytes[bytes.size() - 2] = 0x7F;  // FF 2F 00 becomes FF 7F 00, a sequencer-specific event
       smf::Write(path, bytes);
     },
     "damaged or truncated Standard MIDI File"},
    {"directory", [](const std::string& path) { fs::create_directory(path); },
     "cannot read MIDI file"},
    // Opening a pipe for reading would wait for a writer forever.
    {"pipe", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
     "cannot read MIDI file"},
};

class MidiBadFileTest : public MidiLibraryTest, public testing::WithParamInterface<TBadFile> {};

TEST_P(MidiBadFileTest, IsSilentAndWarnsOnce) {
  const TBadFile& bad = GetParam();
  const std::string path = Path("bad.mid");
  bad.make(path);
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  GGSLoadFile(Path("held.mid").c_str(), 1);
  GGSPlay(kLoop, 0, 0);
  RunUntil(MidiStatus().framesAtLastPlay + Frames(0.2));

  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) {
    GGSStop();
    EXPECT_LT(GGSLoadFile(path.c_str(), 1), 0);
    EXPECT_FALSE(MidiStatus().pieceLoaded);
    GGSPlay(kLoop, 0, 0);
  }
  const std::string log = testing::internal::GetCapturedStderr();
  // A play without a piece still stops what played, so the last stop marks where it began.
  const uint64_t last = MidiStatus().framesAtLastStop;
  RunUntil(last + Frames(0.5));
  const std::vector<float> out = Output();
  EXPECT_LT(Rms(out, last + Frames(0.1), last + Frames(0.5)), kSilenceRms);

  const std::string line = std::string("morvi: music: ") + bad.warning;
  EXPECT_NE(log.find(line), std::string::npos) << log;
  EXPECT_EQ(log.find(line), log.rfind(line)) << "warned more than once:\n" << log;
  EXPECT_NE(log.find(path), std::string::npos) << "the warning names the file:\n" << log;
}

INSTANTIATE_TEST_SUITE_P(Files, MidiBadFileTest, testing::ValuesIn(BadFiles),
                         [](const testing::TestParamInfo<TBadFile>& param) {
                           std::string name = param.param.name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

TEST_F(MidiLibraryTest, FileNamesAreShiftJisWithBackslashes) {
  // 表 is 0x95 0x5C in Shift-JIS: its second byte is the code of '\', which must not be taken
  // for a folder separator.
  fs::create_directory(Path("曲"));
  smf::Write(Path("曲/表.mid"), ShortNote());
  const std::string sjis = dir_ + "\\\x8B\xC8\\\x95\x5C.mid";
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  EXPECT_EQ(GGSLoadFile(sjis.c_str(), 1), 0);
  EXPECT_TRUE(MidiStatus().pieceLoaded);
}

struct TSoundFontCase {
  const char* name;
  const char* environment;  // SDL_SOUNDFONTS, with {dir} for the test folder; null = unset
  bool defaultExists;
  bool sounding;
  const char* warning;  // expected on stderr, or null for none
};
void PrintTo(const TSoundFontCase& c, std::ostream* out) {
  *out << c.name;
}

const TSoundFontCase SoundFontCases[] = {
    {"UnsetAndNoDefault", nullptr, false, false, "no SoundFont; music is silent"},
    {"EnvironmentTakesPrecedence", "/usr/share/sounds/sf2/TimGM6mb.sf2", false, true, nullptr},
    {"MissingEntriesAreSkipped", "{dir}/absent.sf2;/usr/share/sounds/sf2/TimGM6mb.sf2", false, true,
     nullptr},
    {"CorruptFallsBackToDefault", "{dir}/corrupt.sf2", true, true, "cannot load SoundFont"},
    {"NothingUsable", "{dir}/corrupt.sf2", false, false, "no SoundFont; music is silent"},
};

class MidiSoundFontTest : public MidiLibraryTest,
                          public testing::WithParamInterface<TSoundFontCase> {};

TEST_P(MidiSoundFontTest, ChoosesTheSoundFontOrStaysSilent) {
  const TSoundFontCase& c = GetParam();
  std::ofstream(Path("corrupt.sf2")) << "RIFF but not really a SoundFont";
  if (c.environment != nullptr) {
    std::string value = c.environment;
    for (size_t at; (at = value.find("{dir}")) != std::string::npos;) value.replace(at, 5, dir_);
    setenv("SDL_SOUNDFONTS", value.c_str(), 1);
  }
  SetDefaultSoundFont(c.defaultExists ? kDebianSoundFont : Path("no-default.sf2"));

  testing::internal::CaptureStderr();
  GGSSetDevice(-1, 0);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(MidiStatus().sounding, c.sounding);
  if (c.warning != nullptr) {
    EXPECT_NE(log.find(std::string("morvi: music: ") + c.warning), std::string::npos) << log;
  } else {
    EXPECT_EQ(log.find("morvi: music:"), std::string::npos) << log;
  }
  // Silent or not, the calls work and return.
  EXPECT_EQ(GGSLoadFile(Path("short.mid").c_str(), 1), 0);
  GGSPlay(kLoop, 0, 0);
  if (c.sounding) {
    RunUntil(MidiStatus().framesAtLastPlay + Frames(0.15));
    const uint64_t start = MidiStatus().framesAtLastPlay;
    const std::vector<float> out = Output();
    EXPECT_GT(Rms(out, start, start + Frames(0.15)), kSoundRms);
  } else {
    GGSStop();
    EXPECT_EQ(GGSFree(), 0);
    EXPECT_FALSE(fs::exists(output_)) << "no device was opened";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MidiSoundFontTest, testing::ValuesIn(SoundFontCases),
                         [](const testing::TestParamInfo<TSoundFontCase>& param) {
                           return std::string(param.param.name);
                         });

struct TDriverCase {
  const char* name;
  const char* driver;
  const char* file;  // SDL_DISKAUDIOFILE relative to the test folder, for the disk driver
  bool sounding;
};
void PrintTo(const TDriverCase& c, std::ostream* out) {
  *out << c.name;
}

const TDriverCase DriverCases[] = {
    {"Dummy", "dummy", "", true},
    {"NoSuchDriver", "no-such-driver", "", false},
    {"DiskCannotOpen", "disk", "no/such/folder/out.raw", false},
};

class MidiDriverTest : public MidiLibraryTest, public testing::WithParamInterface<TDriverCase> {};

TEST_P(MidiDriverTest, RunsOnWithoutHangingOrCrashing) {
  const TDriverCase& c = GetParam();
  setenv("SDL_AUDIODRIVER", c.driver, 1);
  setenv("SDL_DISKAUDIOFILE", Path(c.file).c_str(), 1);
  testing::internal::CaptureStderr();
  GGSSetDevice(-1, 0);
  GGSSetDevice(-1, 0);  // a repeated set-up changes nothing and warns no more
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(MidiStatus().sounding, c.sounding);
  const std::string warning = "morvi: music:";
  if (c.sounding) {
    EXPECT_EQ(log.find(warning), std::string::npos) << log;
  } else {
    EXPECT_NE(log.find(warning), std::string::npos) << log;
    EXPECT_EQ(log.find(warning), log.rfind(warning)) << log;
  }
  for (int i = 0; i < 3; ++i) {
    GGSStop();
    GGSLoadFile(Path("held.mid").c_str(), 1);
    GGSPlay(kLoop, 0, 0);
  }
  if (c.sounding) {
    // The dummy driver paces the callback in real time; a little of it must run.
    RunUntil(MidiStatus().framesAtLastPlay + 1);
  }
  GGSStop();
  EXPECT_EQ(GGSFree(), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, MidiDriverTest, testing::ValuesIn(DriverCases),
                         [](const testing::TestParamInfo<TDriverCase>& param) {
                           return std::string(param.param.name);
                         });

TEST_F(MidiLibraryTest, CallsOutsideSetUpAreRefused) {
  EXPECT_LT(GGSLoadFile(Path("held.mid").c_str(), 1), 0);
  EXPECT_LT(GGSPlay(kLoop, 0, 0), 0);
  EXPECT_LT(GGSStop(), 0);
  EXPECT_LT(GGSFree(), 0);
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  EXPECT_EQ(GGSFree(), 0);
  EXPECT_LT(GGSPlay(kLoop, 0, 0), 0);
  EXPECT_FALSE(MidiStatus().setUp);
}

// Replacing the player while the callback renders flat out: the case that crashes when a change
// of player is not kept apart from the audio thread. Run under AddressSanitizer as well.
TEST_F(MidiLibraryTest, ThousandPlayStopPlayCyclesWhileRendering) {
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  ASSERT_EQ(GGSSetDevice(-1, 0), 0);
  ASSERT_EQ(GGSLoadFile(Path("held.mid").c_str(), 1), 0);
  const uint64_t before = MidiStatus().framesRendered;
  for (int i = 0; i < 1000; ++i) {
    GGSPlay(kLoop, 0, 0);
    GGSStop();
    GGSPlay(kLoop, 0, 0);
    if (i % 100 == 0) GGSLoadFile(Path(i % 200 == 0 ? "short.mid" : "held.mid").c_str(), 1);
  }
  EXPECT_GT(MidiStatus().framesRendered, before) << "the callback ran during the cycles";
  EXPECT_TRUE(MidiStatus().sounding);
  EXPECT_EQ(GGSFree(), 0);
}

}  // namespace
