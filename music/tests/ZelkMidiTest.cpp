// The player's calls into the MIDI library, recorded by a stand-in and compared with the expected
// trace. Each scenario also notes the Playing flag where it matters, so one trace shows both.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "music/ZelkMidi.h"
#include "platform/HeadlessBackend.h"

namespace {

std::vector<std::string> Trace;

int32_t RecordSetDevice(int32_t device, int32_t reserved) {
  Trace.push_back("SetDevice(" + std::to_string(device) + "," + std::to_string(reserved) + ")");
  return 0;
}
int32_t RecordLoadFile(const char* fileName, int32_t key) {
  Trace.push_back("LoadFile(" + std::string(fileName) + "," + std::to_string(key) + ")");
  return -2;  // as the real library answers for a file it cannot use; the player must not care
}
int32_t RecordPlay(int32_t option, int32_t seek, int32_t key) {
  Trace.push_back("Play(" + std::to_string(option) + "," + std::to_string(seek) + "," +
                  std::to_string(key) + ")");
  return 0;
}
int32_t RecordStop() {
  Trace.push_back("Stop");
  return 0;
}
int32_t RecordFree() {
  Trace.push_back("Free");
  return 0;
}

const platform::TMidiLibrary Recorder{&RecordSetDevice, &RecordLoadFile, &RecordPlay, &RecordStop,
                                      &RecordFree};

void Note(const char* what, bool playing) {
  Trace.push_back(std::string(what) + (playing ? " playing" : " idle"));
}

struct TScenario {
  const char* name;
  void (*run)();
  std::vector<std::string> expected;
  int beeps;
};
void PrintTo(const TScenario& c, std::ostream* out) {
  *out << c.name;
}

const TScenario Scenarios[] = {
    {"PlayWhilePlayingStopsBeforeLoading",
     [] {
       TZelkMidi midi(Recorder);
       midi.Play("dat\\one.mid", true);
       midi.Play("dat\\two.mid", true);
       Note("after", midi.Playing);
     },
     {"SetDevice(-1,0)", "Stop", "LoadFile(dat\\one.mid,1)", "Play(7,0,0)", "Stop",
      "LoadFile(dat\\two.mid,1)", "Play(7,0,0)", "after playing", "Stop", "Free"},
     0},
    {"PlayOnceClearsTheLoopBit",
     [] {
       TZelkMidi midi(Recorder);
       midi.Play("dat\\one.mid", false);
     },
     {"SetDevice(-1,0)", "Stop", "LoadFile(dat\\one.mid,1)", "Play(6,0,0)", "Stop", "Free"},
     0},
    {"StopWhenIdle",
     [] {
       TZelkMidi midi(Recorder);
       midi.Stop();
       Note("after", midi.Playing);
     },
     {"SetDevice(-1,0)", "Stop", "after idle", "Stop", "Free"},
     0},
    {"StopAfterPlay",
     [] {
       TZelkMidi midi(Recorder);
       midi.Play("dat\\one.mid", true);
       midi.Stop();
       Note("after", midi.Playing);
     },
     {"SetDevice(-1,0)", "Stop", "LoadFile(dat\\one.mid,1)", "Play(7,0,0)", "Stop", "after idle",
      "Stop", "Free"},
     0},
    {"PlayOfMissingFileStillPlaysAndIsPlaying",
     [] {
       TZelkMidi midi(Recorder);
       midi.Play("dat\\no such file.mid", true);
       Note("after", midi.Playing);
     },
     {"SetDevice(-1,0)", "Stop", "LoadFile(dat\\no such file.mid,1)", "Play(7,0,0)",
      "after playing", "Stop", "Free"},
     0},
    {"DestroyRightAfterCreate",
     [] {
       TZelkMidi midi(Recorder);
       Note("created", midi.Playing);
     },
     {"SetDevice(-1,0)", "created idle", "Stop", "Free"},
     0},
    {"SecondCreateOnlyBeeps",
     [] {
       TZelkMidi first(Recorder);
       {
         std::optional<TZelkMidi> second(std::in_place, Recorder);
         Note("second", second->Playing);
         Trace.push_back("destroy second");
       }
       Trace.push_back("destroy first");
     },
     // The second object makes no call while it lives, yet its destruction releases the library
     // all the same, as the first player's will.
     {"SetDevice(-1,0)", "second idle", "destroy second", "Stop", "Free", "destroy first", "Stop",
      "Free"},
     1},
    {"CreateAfterDestroyingTheSecondSetsUpAgain",
     [] {
       std::optional<TZelkMidi> first(std::in_place, Recorder);
       std::optional<TZelkMidi> second(std::in_place, Recorder);
       second.reset();
       Trace.push_back("third");
       TZelkMidi third(Recorder);
       Trace.push_back("end");
     },
     // Destroying the second player cleared the guard although the first still exists, so the
     // third sets the library up again.
     {"SetDevice(-1,0)", "Stop", "Free", "third", "SetDevice(-1,0)", "end", "Stop", "Free", "Stop",
      "Free"},
     1},
};

class ZelkMidiCalls : public testing::TestWithParam<TScenario> {};

TEST_P(ZelkMidiCalls, MakesTheExpectedLibraryCalls) {
  platform::THeadlessBackend& backend = platform::UseHeadlessBackend();
  Trace.clear();
  GetParam().run();
  EXPECT_EQ(Trace, GetParam().expected);
  EXPECT_EQ(backend.beeps, GetParam().beeps);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ZelkMidiCalls, testing::ValuesIn(Scenarios),
                         [](const testing::TestParamInfo<TScenario>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
