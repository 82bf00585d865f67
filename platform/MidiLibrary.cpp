#include "platform/MidiLibrary.h"

#include <SDL.h>
#include <fluidsynth.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/ShiftJis.h"

namespace platform {
namespace {

constexpr int kSampleRate = 44100;
constexpr Uint16 kBufferFrames = 1024;  // 23 ms at 44.1 kHz: latency low enough for a stop
// FluidSynth's default gain of 0.2 leaves General MIDI music some 25 dB below a normal listening
// level; at 0.8 a dense arrangement peaks near full scale without clipping.
constexpr double kGain = 0.8;
// A Standard MIDI File larger than this is not music for a story; refusing it keeps a stray
// multi-gigabyte file from being read into memory.
constexpr std::streamoff kMaxPieceBytes = 16 * 1024 * 1024;

constexpr int32_t kDone = 0;
constexpr int32_t kRefused = -1;  // the library is not set up
constexpr int32_t kFailed = -2;   // set up, but this call could not do its work

struct FluidSettingsDeleter {
  void operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
};
struct FluidSynthDeleter {
  void operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }
};
struct FluidPlayerDeleter {
  void operator()(fluid_player_t* p) const {
    fluid_player_stop(p);
    delete_fluid_player(p);
  }
};
using FluidSettings = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynth = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;
using FluidPlayer = std::unique_ptr<fluid_player_t, FluidPlayerDeleter>;

// SDL's audio subsystem, started and quit in pairs. The window layer starts video separately.
class TAudioSubsystem {
 public:
  TAudioSubsystem() : started_(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}
  ~TAudioSubsystem() {
    if (started_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  TAudioSubsystem(const TAudioSubsystem&) = delete;
  TAudioSubsystem& operator=(const TAudioSubsystem&) = delete;
  bool Started() const { return started_; }

 private:
  bool started_;
};

class TAudioDevice {
 public:
  TAudioDevice() = default;
  explicit TAudioDevice(SDL_AudioDeviceID id) : id_(id) {}
  ~TAudioDevice() { Close(); }
  TAudioDevice(const TAudioDevice&) = delete;
  TAudioDevice& operator=(const TAudioDevice&) = delete;
  TAudioDevice& operator=(TAudioDevice&& other) noexcept {
    Close();
    id_ = std::exchange(other.id_, 0);
    return *this;
  }
  SDL_AudioDeviceID Id() const { return id_; }
  // Returns once the audio thread has ended, so no callback runs afterwards.
  void Close() {
    if (id_ != 0) SDL_CloseAudioDevice(std::exchange(id_, 0));
  }

 private:
  SDL_AudioDeviceID id_ = 0;
};

// Keeps the audio callback out while the player is replaced: FluidSynth's player registers itself
// with the synthesizer, and deleting it while the callback renders crashes.
class TDeviceLock {
 public:
  explicit TDeviceLock(const TAudioDevice& device) : id_(device.Id()) {
    if (id_ != 0) SDL_LockAudioDevice(id_);
  }
  ~TDeviceLock() {
    if (id_ != 0) SDL_UnlockAudioDevice(id_);
  }
  TDeviceLock(const TDeviceLock&) = delete;
  TDeviceLock& operator=(const TDeviceLock&) = delete;

 private:
  SDL_AudioDeviceID id_;
};

enum class TSmfCheck { Good, NotSmf, Damaged };

uint32_t BigEndian(const std::vector<unsigned char>& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[at + static_cast<size_t>(i)];
  return value;
}

// Reads a variable-length quantity (at most four bytes) at At, within End.
bool ReadVlq(const std::vector<unsigned char>& bytes, size_t& at, size_t end, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= end) return false;
    const unsigned char byte = bytes[at++];
    value = (value << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

// Walks the events of one track chunk; false when the chunk is cut short or holds something no
// event can be, or when it has no End-of-Track event. Ticks: the track's length.
bool WalkTrack(const std::vector<unsigned char>& bytes, size_t at, size_t end, uint64_t& ticks) {
  ticks = 0;
  unsigned char running = 0;
  while (at < end) {
    uint32_t delta = 0;
    if (!ReadVlq(bytes, at, end, delta) || at >= end) return false;
    ticks += delta;
    unsigned char status = bytes[at];
    if (status & 0x80) {
      ++at;
    } else if (running != 0) {
      status = running;  // running status: the byte read is already the first data byte
    } else {
      return false;
    }
    uint32_t length = 0;
    if (status == 0xFF) {
      if (at >= end) return false;
      const unsigned char type = bytes[at++];
      if (!ReadVlq(bytes, at, end, length) || length > end - at) return false;
      if (type == 0x2F) return true;
      running = 0;
    } else if (status == 0xF0 || status == 0xF7) {
      if (!ReadVlq(bytes, at, end, length) || length > end - at) return false;
      running = 0;
    } else if (status >= 0xF0) {
      return false;
    } else {
      running = status;
      length = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change and channel pressure: one byte
      if (length > end - at) return false;
    }
    at += length;
  }
  return false;
}

// A Standard MIDI File is a header chunk "MThd" of at least six bytes followed by as many "MTrk"
// chunks as the header counts (other chunks may sit between them), each a run of events closed
// by End-of-Track. Checking that here keeps other files and cut-off downloads away from
// FluidSynth's parser, which would fail quietly inside the audio thread (or, for a track without
// its end, read on and on), and lets the user learn why the music is silent. Ticks: the length
// of the longest track.
TSmfCheck CheckSmf(const std::vector<unsigned char>& bytes, uint64_t* ticks = nullptr) {
  if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0) return TSmfCheck::NotSmf;
  const uint32_t headerLength = BigEndian(bytes, 4, 4);
  if (headerLength < 6 || headerLength > bytes.size() - 8) return TSmfCheck::NotSmf;
  const uint32_t tracks = BigEndian(bytes, 10, 2);
  if (tracks == 0) return TSmfCheck::Damaged;
  size_t at = 8 + headerLength;
  uint32_t found = 0;
  uint64_t longest = 0;
  while (found < tracks) {
    if (bytes.size() - at < 8) return TSmfCheck::Damaged;
    const uint32_t length = BigEndian(bytes, at + 4, 4);
    if (length > bytes.size() - at - 8) return TSmfCheck::Damaged;
    if (std::memcmp(bytes.data() + at, "MTrk", 4) == 0) {
      ++found;
      uint64_t trackTicks = 0;
      if (!WalkTrack(bytes, at + 8, at + 8 + length, trackTicks)) return TSmfCheck::Damaged;
      longest = std::max(longest, trackTicks);
    }
    at += 8 + length;
  }
  if (ticks != nullptr) *ticks = longest;
  return TSmfCheck::Good;
}

void SilenceFluidSynthLog() {
  // FluidSynth writes its own lines for a bad file or a missing preset; the library reports the
  // cause itself, once, so the rest would only repeat it.
  fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

std::string DefaultSoundFont = kDebianSoundFont;

// Counters the audio callback writes and tests read, kept apart from the state so that they
// outlive GGSFree.
struct TCounters {
  std::atomic<uint64_t> framesRendered{0};
  std::atomic<uint64_t> framesAtLastStop{0};
  std::atomic<uint64_t> framesAtLastPlay{0};
  std::atomic<uint64_t> callbackNanoseconds{0};
  std::atomic<int> sampleRate{0};

  void Reset() {
    framesRendered = 0;
    framesAtLastStop = 0;
    framesAtLastPlay = 0;
    callbackNanoseconds = 0;
    sampleRate = 0;
  }
};
TCounters Counters;

// Everything the library holds between GGSSetDevice and GGSFree. Members are destroyed in reverse
// order: the device closes first (no callback afterwards), then the player, the synthesizer, its
// settings and last SDL's audio subsystem.
class TMidiState {
 public:
  explicit TMidiState(int32_t device) {
    SilenceFluidSynthLog();
    audio_ = std::make_unique<TAudioSubsystem>();
    if (!audio_->Started()) {
      Warn("no sound device", std::string("SDL audio: ") + SDL_GetError());
      return;
    }
    if (!MakeSynth()) return;
    OpenDevice(device);
  }

  ~TMidiState() {
    device_.Close();
    player_.reset();
    synth_.reset();
    settings_.reset();
  }

  TMidiState(const TMidiState&) = delete;
  TMidiState& operator=(const TMidiState&) = delete;

  bool Sounding() const { return device_.Id() != 0; }
  bool PieceLoaded() const { return !piece_.empty(); }

  int32_t Load(const char* fileName) {
    piece_.clear();
    if (fileName == nullptr) return kFailed;
    std::vector<unsigned char> bytes;
    const std::string path = NativeFileName(fileName);
    if (!ReadPiece(path, bytes, pieceTicks_)) return kFailed;
    piece_ = std::move(bytes);
    return kDone;
  }

  int32_t Play(bool loop) {
    TDeviceLock lock(device_);
    StopLocked();
    if (!Sounding() || piece_.empty()) return kFailed;
    FluidPlayer player(new_fluid_player(synth_.get()));
    if (!player) return kFailed;
    // The player copies the bytes and parses them inside the audio callback on its first run.
    if (fluid_player_add_mem(player.get(), piece_.data(), piece_.size()) != FLUID_OK ||
        // A piece that lasts no time at all would loop forever inside one render call, holding
        // the device lock the window's thread waits on: such a piece plays once.
        fluid_player_set_loop(player.get(), loop && pieceTicks_ > 0 ? -1 : 1) != FLUID_OK ||
        fluid_player_play(player.get()) != FLUID_OK) {
      return kFailed;
    }
    player_ = std::move(player);
    SetEffects(true);
    Counters.framesAtLastPlay = Counters.framesRendered.load();
    return kDone;
  }

  int32_t Stop() {
    TDeviceLock lock(device_);
    StopLocked();
    return kDone;
  }

 private:
  static void Render(void* userdata, Uint8* stream, int len) {
    const auto start = std::chrono::steady_clock::now();
    auto* self = static_cast<TMidiState*>(userdata);
    auto* out = reinterpret_cast<float*>(stream);
    const int frames = len / static_cast<int>(2 * sizeof(float));
    // With no piece (none yet, or stopped: notes and effects already cut) the synthesizer would
    // only compute silence, which costs as much as music; a story without music pays nothing.
    if (self->player_) {
      fluid_synth_write_float(self->synth_.get(), frames, out, 0, 2, out, 1, 2);
    } else {
      std::fill_n(out, 2 * frames, 0.0f);
    }
    Counters.framesRendered += static_cast<uint64_t>(frames);
    Counters.callbackNanoseconds +=
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
  }

  // Stopping a FluidSynth player leaves its notes sounding. They are cut while they still count
  // as playing: deleting the player releases them first, and a released note is no longer cut by
  // "all sounds off" but rings out its release. Reverberation and chorus would still ring for
  // half a second after that, so they are switched off until the next piece starts. The caller
  // holds the device lock.
  void StopLocked() {
    if (synth_) fluid_synth_all_sounds_off(synth_.get(), -1);
    player_.reset();
    SetEffects(false);
    Counters.framesAtLastStop = Counters.framesRendered.load();
  }

  void SetEffects(bool on) {
    if (!synth_) return;
    fluid_synth_reverb_on(synth_.get(), -1, on ? 1 : 0);
    fluid_synth_chorus_on(synth_.get(), -1, on ? 1 : 0);
  }

  bool MakeSynth() {
    settings_.reset(new_fluid_settings());
    if (!settings_) return false;
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(settings_.get(), "synth.gain", kGain);
    // Loads only the samples the pieces use: less memory and a faster start.
    fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) {
      Warn("cannot start the synthesizer", "");
      return false;
    }
    std::vector<std::string> candidates;
    if (const char* list = SDL_getenv("SDL_SOUNDFONTS")) {
      std::string entries(list);
      size_t begin = 0;
      while (begin <= entries.size()) {
        size_t end = entries.find(';', begin);
        if (end == std::string::npos) end = entries.size();
        if (end > begin) candidates.push_back(entries.substr(begin, end - begin));
        begin = end + 1;
      }
    }
    candidates.push_back(DefaultSoundFont);
    for (const std::string& path : candidates) {
      if (std::ifstream(path, std::ios::binary).fail()) continue;  // absent: try the next one
      if (fluid_synth_sfload(synth_.get(), path.c_str(), 1) != FLUID_FAILED) return true;
      Warn("cannot load SoundFont", path);
    }
    Warn("no SoundFont; music is silent", DefaultSoundFont);
    synth_.reset();
    return false;
  }

  void OpenDevice(int32_t device) {
    const char* name = nullptr;
    if (device >= 0) {
      name = SDL_GetAudioDeviceName(device, 0);
      if (name == nullptr) {
        Warn("no such sound device", std::to_string(device));
        return;
      }
    }
    SDL_AudioSpec want{};
    want.freq = kSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kBufferFrames;
    want.callback = &TMidiState::Render;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts when the hardware wants another format, so the callback
    // always renders the synthesizer's own format.
    TAudioDevice opened(SDL_OpenAudioDevice(name, 0, &want, &have, 0));
    if (opened.Id() == 0) {
      Warn("cannot open sound device; music is silent", SDL_GetError());
      return;
    }
    device_ = std::move(opened);
    Counters.sampleRate = kSampleRate;
    SDL_PauseAudioDevice(device_.Id(), 0);
  }

  bool ReadPiece(const std::string& path, std::vector<unsigned char>& bytes, uint64_t& ticks) {
    // Only a regular file is read: a folder has no size worth the name, and opening a pipe or
    // device would block the thread that draws the window.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      Warn("cannot read MIDI file", path + " (not a regular file)");
      return false;
    }
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
      const int error = errno;
      if (error == ENOENT || error == ENOTDIR) {
        Warn("MIDI file not found", path);
      } else {
        Warn("cannot read MIDI file", path + " (" + std::strerror(error) + ")");
      }
      return false;
    }
    const std::streamoff size = file.tellg();
    if (size < 0) {
      Warn("cannot read MIDI file", path);
      return false;
    }
    if (size > kMaxPieceBytes) {
      Warn("MIDI file too large", path);
      return false;
    }
    bytes.resize(static_cast<size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
      Warn("cannot read MIDI file", path);
      return false;
    }
    switch (CheckSmf(bytes, &ticks)) {
      case TSmfCheck::Good:
        return true;
      case TSmfCheck::NotSmf:
        Warn("not a Standard MIDI File", path);
        return false;
      case TSmfCheck::Damaged:
        Warn("damaged or truncated Standard MIDI File", path);
        return false;
    }
    return false;
  }

  // One line per cause and subject for as long as the library is set up; the player calls the
  // same things again and again and the log should not fill with repeats.
  void Warn(const std::string& cause, const std::string& subject) {
    if (!warned_.emplace(cause, subject).second) return;
    std::fprintf(stderr, "morvi: music: %s%s%s\n", cause.c_str(), subject.empty() ? "" : ": ",
                 subject.c_str());
  }

  std::set<std::pair<std::string, std::string>> warned_;
  std::unique_ptr<TAudioSubsystem> audio_;
  FluidSettings settings_;
  FluidSynth synth_;
  FluidPlayer player_;
  TAudioDevice device_;
  std::vector<unsigned char> piece_;
  uint64_t pieceTicks_ = 0;  // the loaded piece's length in MIDI ticks
};

std::unique_ptr<TMidiState> State;

}  // namespace

int32_t GGSSetDevice(int32_t device, int32_t /*reserved*/) {
  if (State) return kDone;
  Counters.Reset();
  State = std::make_unique<TMidiState>(device);
  return State->Sounding() ? kDone : kFailed;
}

int32_t GGSLoadFile(const char* fileName, int32_t /*key*/) {
  if (!State) return kRefused;
  return State->Load(fileName);
}

int32_t GGSPlay(int32_t option, int32_t /*seek*/, int32_t /*key*/) {
  if (!State) return kRefused;
  return State->Play((option & 1) != 0);
}

int32_t GGSStop() {
  if (!State) return kRefused;
  return State->Stop();
}

int32_t GGSFree() {
  if (!State) return kRefused;
  State.reset();
  return kDone;
}

const TMidiLibrary& MidiLibrary() {
  static const TMidiLibrary library{&GGSSetDevice, &GGSLoadFile, &GGSPlay, &GGSStop, &GGSFree};
  return library;
}

TMidiStatus MidiStatus() {
  TMidiStatus status;
  status.setUp = State != nullptr;
  status.sounding = State && State->Sounding();
  status.pieceLoaded = State && State->PieceLoaded();
  status.sampleRate = Counters.sampleRate;
  status.framesRendered = Counters.framesRendered;
  status.framesAtLastStop = Counters.framesAtLastStop;
  status.framesAtLastPlay = Counters.framesAtLastPlay;
  status.callbackNanoseconds = Counters.callbackNanoseconds;
  return status;
}

void SetDefaultSoundFont(std::string path) {
  DefaultSoundFont = std::move(path);
}

std::string MidiFileProblem(const std::string& fileName) {
  const std::string path = NativeFileName(fileName);
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return "MIDI file not found";
  if (!S_ISREG(info.st_mode)) return "cannot read MIDI file (not a regular file)";
  if (info.st_size > kMaxPieceBytes) return "MIDI file too large";
  std::ifstream file(path, std::ios::binary);
  std::vector<unsigned char> bytes(static_cast<size_t>(info.st_size));
  if (!file || !file.read(reinterpret_cast<char*>(bytes.data()), info.st_size)) {
    return "cannot read MIDI file";
  }
  switch (CheckSmf(bytes)) {
    case TSmfCheck::Good:
      return "";
    case TSmfCheck::NotSmf:
      return "not a Standard MIDI File";
    case TSmfCheck::Damaged:
      return "damaged or truncated Standard MIDI File";
  }
  return "";
}

}  // namespace platform
