// Name bytes -> the path a story's file name stands for.
//
// A '\' or '/' that is a character of its own separates folders and becomes '/'; a byte of the
// same value that is the second byte of a two-byte character is part of that character and must
// never become a separator. Empty parts are dropped. A name that is valid Shift-JIS gives valid
// UTF-8, part by part the text the general conversion gives; other bytes are kept as they stand,
// so that a name that is already UTF-8 still finds its file.
//
// The look-up also tries other cases of letters in the folders it passes through, so the harness
// works in an empty folder of its own: there a relative name without ".." finds nothing and the
// answer is the converted name itself, whatever the machine's files are.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCommon.h"
#include "platform/Cp932.h"
#include "platform/ShiftJis.h"

namespace {

// The parts of Name between separators that are characters of their own, empty ones left out.
std::vector<std::string_view> Parts(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size();) {
    const bool end = i == name.size();
    const std::size_t length = end ? 1 : platform::CharLength(name, i);
    if (end || (length == 1 && (name[i] == '/' || name[i] == '\\'))) {
      if (i > start) parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
    i += length;
  }
  return parts;
}

void EnterEmptyFolder() {
  static const bool entered = [] {
    const std::string folder = (fuzz::TScratchFolder::Path() / "empty").string();
    std::filesystem::create_directory(folder);
    FUZZ_CHECK(::chdir(folder.c_str()) == 0);
    return true;
  }();
  (void)entered;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterEmptyFolder();
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const std::string path = platform::NativeFileName(name);

  const std::vector<std::string_view> parts = Parts(name);
  bool leavesFolder = !name.empty() && (name.front() == '/' || name.front() == '\\');
  bool validShiftJis = true;
  std::string expected;
  for (std::string_view part : parts) {
    leavesFolder = leavesFolder || part == "..";
    const std::string converted = platform::Cp932ToUtf8(part);
    validShiftJis =
        validShiftJis && converted.find(platform::kUtf8Replacement) == std::string::npos;
    if (!expected.empty()) expected += '/';
    expected += converted;
  }

  std::size_t slashes = 0;
  for (char c : path) slashes += c == '/' ? 1 : 0;
  if (!leavesFolder) {
    if (validShiftJis) {
      FUZZ_CHECK(path == expected);
      FUZZ_CHECK(fuzz::IsValidUtf8(path));
    }
    // A '/' byte right after a lead byte that does not make a character with it may come out
    // on its own when the bytes are kept as they stand; no other separator may appear.
    std::size_t possible = parts.empty() ? 0 : parts.size() - 1;
    for (std::size_t i = 0; i < name.size(); i += platform::CharLength(name, i)) {
      if (platform::CharLength(name, i) == 2 && name[i + 1] == '/') ++possible;
    }
    FUZZ_CHECK(slashes >= (parts.empty() ? 0 : parts.size() - 1) && slashes <= possible);
  }
  return 0;
}
