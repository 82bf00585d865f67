// The script engine on the longest story it takes: 9,999 lines, about 1 MB of Shift-JIS text with
// comments, labels, forward jumps and the program's two commands. Goals: a load within 10 ms, a
// Step within 5 us.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/HeadlessBackend.h"
#include "script/ZelkScript.h"

namespace {

namespace fs = std::filesystem;

void Ignore(TStringDynArray) {}

// Writes the story once per process and removes it at exit.
class TBenchStory {
 public:
  TBenchStory() {
    std::string pattern = (fs::temp_directory_path() / "morvi-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    name = (folder_ / "story.txt").string();
    std::ofstream out(name, std::ios::binary);
    // About 130 bytes a text line: hiragana and kanji, a full-width space, a trailing comment.
    const std::string text =
        "\x82\xB1\x82\xEA\x82\xCD\x95\xA8\x8C\xEA\x82\xCC\x88\xEA\x8D\x73\x82\xC5\x82\xB7\x81\x40"
        "\x82\xE0\x82\xA4\x8F\xAD\x82\xB5\x91\xB1\x82\xAD\x82\xE6\x81\x42";
    for (int i = 1; i <= 9999; ++i) {
      std::string line;
      switch (i % 20) {
        case 0:
          line = "";
          break;
        case 1:
          line = "  @scene" + std::to_string(i) + "   // where the jumps land";
          break;
        case 5:
          line = "#image\tpicture" + std::to_string(i % 7) + ".jpg  // the picture";
          break;
        case 9:
          line = "#midi song" + std::to_string(i % 3) + ".mid";
          break;
        case 15:
          line = "#goto @scene" + std::to_string(i + 6);  // the next scene
          break;
        default:
          line = text + text + text + " " + std::to_string(i) + " // note " + std::to_string(i);
      }
      out << line << "\r\n";
    }
    bytes = fs::file_size(name);
  }
  ~TBenchStory() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string name;
  std::uintmax_t bytes = 0;

 private:
  fs::path folder_;
};

const TBenchStory& Story() {
  static const TBenchStory story;
  return story;
}

std::unique_ptr<TZelkScript> Engine() {
  auto script = std::make_unique<TZelkScript>(Story().name, false);
  script->SetLinesPerPage(1);
  script->SetPageHandler(Ignore);
  script->AddCommand("#midi", Ignore);
  script->AddCommand("#image", Ignore);
  return script;
}

void BM_LoadStory(benchmark::State& state) {
  platform::UseHeadlessBackend();
  for (auto _ : state) {
    TZelkScript script(Story().name, false);
    benchmark::DoNotOptimize(script);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(Story().bytes));
  state.counters["file_bytes"] = static_cast<double>(Story().bytes);
}
BENCHMARK(BM_LoadStory)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// One click: the commands up to the next text line, and that line delivered. The story is
// loaded afresh, outside the timing, whenever it has ended.
void BM_Step(benchmark::State& state) {
  auto& backend = platform::UseHeadlessBackend();
  auto script = Engine();
  int quits = backend.quitRequests;
  for (auto _ : state) {
    script->Step();
    if (backend.quitRequests != quits) {
      state.PauseTiming();
      script = Engine();
      backend.queue.clear();
      quits = backend.quitRequests;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_Step)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
