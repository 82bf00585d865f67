#pragma once
// The background-music player: a thin object over the MIDI library.
//
// The program makes one player at start-up and keeps it for the whole run. Every Play stops what
// plays, hands the library a new file and starts it; the player keeps no playlist, volume or
// position of its own, and never looks at what the library returns.

#include <string>

#include "platform/MidiLibrary.h"

class TZelkMidi {
 public:
  // Sets the library up, unless another player already did: then it only beeps, and the object
  // makes no library call until it is destroyed. library is the real one except in tests.
  explicit TZelkMidi(const platform::TMidiLibrary& library = platform::MidiLibrary());
  // Stops, releases the library and lets the next player set it up again; whichever instance it is.
  ~TZelkMidi();
  TZelkMidi(const TZelkMidi&) = delete;
  TZelkMidi& operator=(const TZelkMidi&) = delete;

  // FileName: path in Shift-JIS bytes. Stops first, so two pieces never play together. A file
  // that cannot be played is not noticed: the music is simply silent.
  void Play(const std::string& FileName, bool Loop);
  void Stop();

  // Which of Play and Stop ran last; not whether the library really plays.
  bool Playing = false;

 private:
  platform::TMidiLibrary library_;
};
