// MIDI bytes -> the MIDI library: load, play, about a second of rendered audio, stop.
//
// The output goes to SDL's disk audio driver writing into /dev/null without pacing, so a second
// of music renders as fast as the synthesizer can make it and nothing is heard. The library is
// set up and freed for every input, so each one also runs the teardown while music plays.
// FluidSynth is not built with the sanitizers: its own faults show only as crashes, but every
// byte it gets passes our checks first, and those are instrumented.
//
// Input: byte 0 bit 0 asks for looping (as the program plays), the rest is the file.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "fuzz/FuzzCommon.h"
#include "platform/MidiLibrary.h"

namespace {

void UseSilentOutput() {
  static const bool done = [] {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    unsetenv("SDL_SOUNDFONTS");
    return true;
  }();
  (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  UseSilentOutput();
  const int32_t option = (data[0] & 1) != 0 ? 7 : 6;
  const std::string path = fuzz::TScratchFolder::Write("x.mid", data + 1, size - 1);

  platform::GGSSetDevice(-1, 0);
  const bool sounding = platform::MidiStatus().sounding;
  if (platform::GGSLoadFile(path.c_str(), 1) == 0) {
    FUZZ_CHECK(platform::MidiStatus().pieceLoaded);
    if (platform::GGSPlay(option, 0, 0) == 0) {
      FUZZ_CHECK(sounding);
      // The player parses the file inside the audio callback; a second of output makes it read
      // the whole file and play its start. A callback that stops coming is a hang; libFuzzer's
      // -timeout catches it, the deadline is for the replay runs, which have no such timer.
      const platform::TMidiStatus status = platform::MidiStatus();
      const uint64_t until = status.framesAtLastPlay + static_cast<uint64_t>(status.sampleRate);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (platform::MidiStatus().framesRendered < until) {
        FUZZ_CHECK(std::chrono::steady_clock::now() < deadline);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
  } else {
    FUZZ_CHECK(!platform::MidiStatus().pieceLoaded);
  }
  platform::GGSStop();
  platform::GGSFree();
  FUZZ_CHECK(!platform::MidiStatus().setUp);
  return 0;
}
