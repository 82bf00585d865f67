#include "music/ZelkMidi.h"

#include "platform/Application.h"

namespace {

// Set by the construction that set the library up, cleared by the destruction of any player: the
// library's state is one per process, and setting it up twice is refused with a beep.
bool MidiCreated = false;

// GGSSetDevice: the default output device.
constexpr int32_t kDefaultDevice = -1;
// GGSLoadFile: the one piece slot.
constexpr int32_t kPieceKey = 1;
// GGSPlay option: bit 0 loops; bits 1 and 2 are always given.
constexpr int32_t kPlayOnce = 6;
constexpr int32_t kPlayLooped = kPlayOnce | 1;

}  // namespace

TZelkMidi::TZelkMidi(const platform::TMidiLibrary& library) : library_(library) {
  if (MidiCreated) {
    platform::Beep();
    return;
  }
  MidiCreated = true;
  library_.SetDevice(kDefaultDevice, 0);
  Playing = false;
}

TZelkMidi::~TZelkMidi() {
  Stop();
  library_.Free();
  MidiCreated = false;
}

void TZelkMidi::Play(const std::string& FileName, bool Loop) {
  Stop();
  library_.LoadFile(FileName.c_str(), kPieceKey);
  library_.Play(Loop ? kPlayLooped : kPlayOnce, 0, 0);
  Playing = true;
}

void TZelkMidi::Stop() {
  library_.Stop();
  Playing = false;
}
