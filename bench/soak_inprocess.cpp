// In-process soak: the whole player, wired up on the headless backend, steps a story whose
// #goto cycle holds text lines and pictures (a bitmap and two JPEGs, reloaded on every pass) with
// the demo's music looping, and renders one frame per step onto the main window's paint box.
// It reports the resident set size as it goes and fails when it grew by more than the limit
// after the warm-up.
//
// Usage: soak_inprocess [STEPS] [WARMUP_STEPS] [LIMIT_KB]
//   defaults: 100000 steps, 10000 warm-up steps, 1024 KB.
// Exit status: 0 within the limit, 1 over it or when anything was reported, 2 on bad arguments.
//
// A measurement, not a test: it runs for a minute or more and is not registered with CTest.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/UnitCommon.h"
#include "app/UnitForm.h"
#include "graphics/UnitBmp.h"
#include "platform/Application.h"
#include "platform/Cp932.h"
#include "platform/HeadlessBackend.h"

#ifndef MORVI_SOURCE_DIR
#error "MORVI_SOURCE_DIR must name the source tree (the demo's pictures and music come from it)"
#endif

namespace fs = std::filesystem;

namespace {

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The cycle passes three pictures and five lines; the #midi ahead of it starts the music once.
// The first line of the cycle comes right after its label, so a jump lands on text at once.
const char* const kStory[] = {
    "#midi tsuki.mid",
    "@top",
    "#image yuuhi.bmp",
    "月の浜辺",
    "夕日が、海の向こうへしずんでいく。",
    "",
    "#image umi.jpg",
    "やがて空は、深い藍色になった。",
    "The sea was singing a quiet song.",
    "#image matsu.jpeg",
    "松原に、風の音だけが聞こえる。",
    "#goto @top",
    "#end",
};

class TStoryFolder {
 public:
  TStoryFolder() {
    std::string pattern = (fs::temp_directory_path() / "morvi-soak-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    fs::create_directories(path_ / "dat");
    const fs::path demo = fs::path(MORVI_SOURCE_DIR) / "demo" / "dat";
    for (const char* name : {"yuuhi.bmp", "umi.jpg", "matsu.jpeg", "tsuki.mid"}) {
      fs::copy_file(demo / name, path_ / "dat" / name);
    }
    std::ofstream story(path_ / "dat" / "story.txt", std::ios::binary);
    for (const char* line : kStory) story << platform::Utf8ToCp932(line) << "\r\n";
  }
  ~TStoryFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TStoryFolder(const TStoryFolder&) = delete;
  TStoryFolder& operator=(const TStoryFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

long Argument(int argc, char** argv, int index, long fallback) {
  if (argc <= index) return fallback;
  char* end = nullptr;
  const long value = std::strtol(argv[index], &end, 10);
  if (end == argv[index] || *end != '\0' || value < 0) {
    std::fprintf(stderr, "soak_inprocess: '%s' is not a whole number\n", argv[index]);
    std::exit(2);
  }
  return value;
}

// A click as the window gets it: press and release over the picture.
void Click() {
  using namespace platform;
  for (uint32_t msg : {WM_LBUTTONDOWN, WM_LBUTTONUP}) {
    TMessage message{msg, 0, MakeLParam(160, 120), FormMain};
    Application.DispatchMessage(message);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long steps = Argument(argc, argv, 1, 100000);
  const long warmup = Argument(argc, argv, 2, 10000);
  const long limitKb = Argument(argc, argv, 3, 1024);
  if (warmup >= steps) {
    std::fprintf(stderr, "soak_inprocess: the warm-up must be shorter than the run\n");
    return 2;
  }

  // The real music library plays, into SDL's driver that discards the sound in real time.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  platform::THeadlessBackend& backend = platform::UseHeadlessBackend();
  TStoryFolder folder;
  const fs::path previous = fs::current_path();
  fs::current_path(folder.Path());

  const long startKb = ResidentKb();
  FormMain = new TFormMain(nullptr);
  const long startedKb = ResidentKb();
  std::printf("steps %ld, warm-up %ld, limit %ld KB\n", steps, warmup, limitKb);
  std::printf("rss before start-up %ld KB, after %ld KB\n", startKb, startedKb);
  std::printf("%10s %10s %12s %10s\n", "step", "rss KB", "since warm", "us/step");

  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  long warmKb = 0, peakKb = 0;
  const long every = std::max(1L, steps / 20);
  for (long step = 1; step <= steps; ++step) {
    Click();
    RenderFrame();
    platform::Application.UpdateForms();
    if (step == warmup) warmKb = ResidentKb();
    if (step % every == 0 || step == steps) {
      const long now = ResidentKb();
      if (step >= warmup) peakKb = std::max(peakKb, now);
      const auto elapsed = std::chrono::duration<double, std::micro>(Clock::now() - last).count();
      last = Clock::now();
      std::printf("%10ld %10ld %12s %10.1f\n", step, now,
                  step >= warmup ? std::to_string(now - warmKb).c_str() : "-",
                  elapsed / static_cast<double>(every));
      std::fflush(stdout);
    }
  }

  const long endKb = ResidentKb();
  const bool stillRunning = backend.quitRequests == 0;
  const std::size_t reports = backend.messageBoxes.size();
  delete FormMain;
  FormMain = nullptr;
  fs::current_path(previous);

  const long growthKb = endKb - warmKb;
  const long peakGrowthKb = peakKb - warmKb;
  std::printf(
      "rss after warm-up %ld KB, at the end %ld KB: growth %ld KB (peak %+ld KB), "
      "limit %ld KB\n",
      warmKb, endKb, growthKb, peakGrowthKb, limitKb);
  std::printf("story still running: %s; reports: %zu; last line: %s\n", stillRunning ? "yes" : "NO",
              reports, platform::Cp932ToUtf8(CurrentText).c_str());
  for (const auto& box : backend.messageBoxes) {
    std::printf("report: %s\n", platform::Cp932ToUtf8(box.text).c_str());
  }
  const bool ok = growthKb <= limitKb && peakGrowthKb <= limitKb && stillRunning && reports == 0;
  std::printf("%s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
