// Figures for the MIDI library, measured with real FluidSynth output through SDL's disk driver
// (paced like a sound card) and the dummy driver:
//   - the time from GGSPlay to the first non-silent audio written to the output,
//   - the resident memory the library's set-up adds, and after a piece has started,
//   - the share of audio time the render callback takes.
// Run: build-*/bench/midi_figures [iterations]

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/MidiLibrary.h"
#include "platform/tests/SmfWriter.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace platform;

long RssKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

off_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

// Polls the output file from byte `from` until a non-zero sample appears; the seconds waited.
double WaitForSound(const std::string& path, off_t from, Clock::time_point start) {
  std::ifstream file(path, std::ios::binary);
  off_t at = from - from % 4;
  while (Clock::now() - start < std::chrono::seconds(5)) {
    const off_t end = FileSize(path);
    if (end - at >= 4) {
      std::vector<float> samples(static_cast<size_t>((end - at) / 4));
      file.clear();
      file.seekg(at);
      file.read(reinterpret_cast<char*>(samples.data()),
                static_cast<std::streamsize>(samples.size() * 4));
      if (std::any_of(samples.begin(), samples.end(), [](float s) { return s != 0.0f; })) {
        return std::chrono::duration<double>(Clock::now() - start).count();
      }
      at += static_cast<off_t>(samples.size() * 4);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::atoi(argv[1]) : 20;
  char pattern[] = "/tmp/morvi-midi-figures-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  const std::string piece = dir + "/piece.mid";
  const std::string output = dir + "/out.raw";
  // Eight bars of a piano arpeggio over a held bass note, looped: a modest but
  // realistic load of six to ten voices.
  std::vector<smf::TNote> notes;
  const uint8_t keys[] = {48, 60, 64, 67, 72, 67, 64, 60};
  for (uint32_t i = 0; i < 64; ++i) {
    notes.push_back({i * 240, 360, keys[i % 8], 96});
    if (i % 8 == 0) notes.push_back({i * 240, 1900, 36, 100});
  }
  smf::Write(piece, smf::Make(0, notes, 64 * 240));

  // 1. Latency and memory, with the disk driver sleeping one buffer per write like a device.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  unsetenv("SDL_DISKAUDIODELAY");
  const long rssBefore = RssKilobytes();
  GGSSetDevice(-1, 0);
  const long rssSetUp = RssKilobytes();
  if (!MidiStatus().sounding) {
    std::fprintf(stderr, "midi_figures: the library is silent; no figures\n");
    return 1;
  }
  GGSLoadFile(piece.c_str(), 1);
  std::vector<double> latencies;
  for (int i = 0; i < iterations; ++i) {
    GGSStop();
    std::this_thread::sleep_for(std::chrono::milliseconds(80));  // the stop has reached the file
    const off_t from = FileSize(output);
    const auto start = Clock::now();
    GGSPlay(7, 0, 0);
    latencies.push_back(WaitForSound(output, from, start));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const long rssPlaying = RssKilobytes();
  GGSFree();
  std::sort(latencies.begin(), latencies.end());

  // 2. CPU: the dummy driver calls back in real time and throws the sound away.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  GGSSetDevice(-1, 0);
  GGSLoadFile(piece.c_str(), 1);
  GGSPlay(7, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // samples loaded, steady state
  const TMidiStatus first = MidiStatus();
  const double cpuStart = CpuSeconds();
  const auto wallStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(4));
  const TMidiStatus last = MidiStatus();
  const double cpu = CpuSeconds() - cpuStart;
  const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
  GGSFree();
  const double audioSeconds = double(last.framesRendered - first.framesRendered) / last.sampleRate;
  const double callbackSeconds = double(last.callbackNanoseconds - first.callbackNanoseconds) / 1e9;

  std::printf(
      "GGSPlay to first non-silent output: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
      1e3 * latencies[latencies.size() / 2], 1e3 * latencies.front(), 1e3 * latencies.back(),
      iterations);
  std::printf("RSS: %ld kB before, +%ld kB after GGSSetDevice, +%ld kB while playing\n", rssBefore,
              rssSetUp - rssBefore, rssPlaying - rssBefore);
  std::printf(
      "Render callback: %.2f %% of audio time (%.1f ms for %.1f s); process CPU %.2f %% of one "
      "core\n",
      100 * callbackSeconds / audioSeconds, 1e3 * callbackSeconds, audioSeconds, 100 * cpu / wall);
  unlink(piece.c_str());
  unlink(output.c_str());
  rmdir(dir.c_str());
  return 0;
}
