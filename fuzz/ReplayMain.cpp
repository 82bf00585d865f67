// Runs a harness over saved inputs without libFuzzer, so that every build (gcc or clang, with or
// without sanitizers) can replay the seeds and the inputs of past findings as an ordinary test.
// Arguments are files or folders; the files of a folder run in name order. A finding shows
// itself as it would under libFuzzer: a sanitizer report, an abort, or the process growing past
// the memory limit the fuzzing runs use, and so a failed test.

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The same limit as libFuzzer's -rss_limit_mb in fuzz/run.
constexpr long kRssLimitMb = 512;

void RunFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && in.fail()) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    std::exit(2);
  }
  std::fprintf(stderr, "running %s (%zu bytes)\n", file.c_str(), bytes.size());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long peakMb = usage.ru_maxrss / 1024;
  if (peakMb > kRssLimitMb) {
    std::fprintf(stderr, "out of memory: the process reached %ld MB (limit %ld MB) with %s\n",
                 peakMb, kRssLimitMb, file.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
          files.push_back(entry.path());
        }
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        RunFile(file);
        ++runs;
      }
    } else if (std::filesystem::is_regular_file(path)) {
      RunFile(path);
      ++runs;
    } else {
      std::fprintf(stderr, "no such input: %s\n", path.c_str());
      return 2;
    }
  }
  std::fprintf(stderr, "%d inputs ran clean\n", runs);
  return runs > 0 ? 0 : 1;
}
