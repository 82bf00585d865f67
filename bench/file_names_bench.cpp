// Cost of finding a story's file: a name that exists as written, and one found only by
// comparing without case in a folder of many entries (every miss reads the folder).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/FileNames.h"

namespace {

namespace fs = std::filesystem;

class TFolder {
 public:
  explicit TFolder(int entries) {
    std::string pattern = (fs::temp_directory_path() / "morvi-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
    fs::create_directories(root / "DAT");
    for (int i = 0; i < entries; ++i)
      std::ofstream(root / "DAT" / ("Pic" + std::to_string(i) + ".BMP"));
  }
  ~TFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  fs::path root;
};

void BM_ResolveExact(benchmark::State& state) {
  TFolder folder(static_cast<int>(state.range(0)));
  const std::string name = folder.root.string() + "\\DAT\\Pic7.BMP";
  for (auto _ : state) benchmark::DoNotOptimize(platform::ResolveFileName(name));
}
BENCHMARK(BM_ResolveExact)->Arg(1000);

void BM_ResolveIgnoringCase(benchmark::State& state) {
  TFolder folder(static_cast<int>(state.range(0)));
  const std::string name = folder.root.string() + "\\dat\\pic7.bmp";
  for (auto _ : state) benchmark::DoNotOptimize(platform::ResolveFileName(name));
}
BENCHMARK(BM_ResolveIgnoringCase)->Arg(10)->Arg(1000);

}  // namespace
