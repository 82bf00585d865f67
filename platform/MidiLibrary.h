#pragma once
// The MIDI library: five calls that play Standard MIDI Files in the background.
//
// It renders with FluidSynth and a General MIDI SoundFont into an SDL2 audio device; the MIDI
// player advances with the rendered samples, so the music keeps time with the audio clock. The
// library's state is one per process, whichever caller drives it.
//
// Every call returns at once and never throws. The player above never looks at the results;
// they are there for tests and figures (0 = done, a negative value = refused or failed). When the
// music cannot sound (no audio device, no SoundFont, a missing or unusable file) the library stays
// silent and writes one warning line per cause and file to stderr, beginning "morvi: music:".

#include <cstdint>
#include <string>

namespace platform {

// Sets the library up: starts SDL's audio subsystem, loads the SoundFont and opens the output.
// device: -1 for the system's default output, n >= 0 for SDL's n-th output device. reserved: 0.
// Until the next GGSFree a further call changes nothing.
int32_t GGSSetDevice(int32_t device, int32_t reserved);

// Reads a Standard MIDI File into memory; it becomes the piece the next GGSPlay plays, in place of
// any earlier one. What plays now goes on playing. fileName is a zero-terminated path in
// Shift-JIS (code page 932), '\' or '/' separating folders. key: which piece; the library keeps
// one, so any value names it. A file that cannot be used leaves no piece loaded.
int32_t GGSLoadFile(const char* fileName, int32_t key);

// Plays the loaded piece from its start, in place of anything that plays. Bit 0 of option: loop
// forever; without it the piece plays once. Other bits, seek and key are accepted and ignored.
int32_t GGSPlay(int32_t option, int32_t seek, int32_t key);

// Ends any playback at once, cutting notes that still sound. Harmless when nothing plays.
int32_t GGSStop();

// Closes the output, then releases the player, the synthesizer and SDL's audio subsystem.
// Afterwards every call but GGSSetDevice is refused until the library is set up again.
int32_t GGSFree();

// The five calls as a table, so that code above can be handed a recording stand-in instead.
struct TMidiLibrary {
  int32_t (*SetDevice)(int32_t device, int32_t reserved);
  int32_t (*LoadFile)(const char* fileName, int32_t key);
  int32_t (*Play)(int32_t option, int32_t seek, int32_t key);
  int32_t (*Stop)();
  int32_t (*Free)();
};

// The library above.
const TMidiLibrary& MidiLibrary();

// Why GGSLoadFile would refuse the file, in the words of its warning ("not a Standard MIDI
// File", "damaged or truncated Standard MIDI File", "MIDI file not found", ...); empty when the
// file is one it plays. For tools that check a story without sound. Never raises.
std::string MidiFileProblem(const std::string& fileName);

// What the library is doing, for tests and figures. Counters survive GGSFree until the next
// GGSSetDevice, so the output can be measured after the device has been closed.
struct TMidiStatus {
  bool setUp = false;                // GGSSetDevice ran and GGSFree has not
  bool sounding = false;             // an output device and a SoundFont are in use
  bool pieceLoaded = false;          // the last GGSLoadFile gave a usable piece
  int sampleRate = 0;                // frames per second of the output, stereo 32-bit float
  uint64_t framesRendered = 0;       // frames the audio callback produced since the device opened
  uint64_t framesAtLastStop = 0;     // framesRendered when the last GGSStop took effect
  uint64_t framesAtLastPlay = 0;     // framesRendered when the last GGSPlay took effect
  uint64_t callbackNanoseconds = 0;  // time spent inside the audio callback
};
TMidiStatus MidiStatus();

// The SoundFont used when the environment variable SDL_SOUNDFONTS (a ';'-separated list) names
// none that exists and loads. Debian's General MIDI SoundFont unless changed; tests point it at a
// missing file to run the library without a SoundFont. Read by GGSSetDevice.
void SetDefaultSoundFont(std::string path);
inline constexpr const char* kDebianSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";

}  // namespace platform
