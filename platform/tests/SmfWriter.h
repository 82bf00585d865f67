#pragma once
// Builds small Standard MIDI Files (format 0, one track) for the music tests, so no binary fixture
// needs to be kept. Time is in ticks: 480 to the quarter note at 120 beats a minute, which makes
// 960 ticks one second.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace smf {

inline constexpr uint32_t kTicksPerSecond = 960;

struct TNote {
  uint32_t start;   // ticks
  uint32_t length;  // ticks
  uint8_t key;      // MIDI note number
  uint8_t velocity;
};

inline void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

inline void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

// One channel, one General MIDI program; the track ends at endTick (or after the last note).
inline std::vector<uint8_t> Make(uint8_t program, const std::vector<TNote>& notes,
                                 uint32_t endTick) {
  struct TEvent {
    uint32_t tick;
    int order;  // note-offs before note-ons at the same tick
    std::vector<uint8_t> bytes;
  };
  std::vector<TEvent> events;
  events.push_back({0, 0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}});  // 500,000 us a quarter note
  events.push_back({0, 0, {0xC0, program}});
  for (const TNote& note : notes) {
    events.push_back({note.start, 2, {0x90, note.key, note.velocity}});
    events.push_back({note.start + note.length, 1, {0x80, note.key, 0x40}});
    endTick = std::max(endTick, note.start + note.length);
  }
  std::stable_sort(events.begin(), events.end(), [](const TEvent& a, const TEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  events.push_back({endTick, 3, {0xFF, 0x2F, 0x00}});

  std::vector<uint8_t> track;
  uint32_t now = 0;
  for (const TEvent& event : events) {
    PutVarLen(track, event.tick - now);
    now = event.tick;
    track.insert(track.end(), event.bytes.begin(), event.bytes.end());
  }
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
  PutBigEndian(file, 6, 4);
  PutBigEndian(file, 0, 2);    // format 0
  PutBigEndian(file, 1, 2);    // one track
  PutBigEndian(file, 480, 2);  // ticks a quarter note
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  PutBigEndian(file, static_cast<uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

inline void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace smf
