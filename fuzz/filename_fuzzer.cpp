// Name bytes -> the path a story's file name stands for.
//
// A '\' or '/' that is a character of its own is a folder separator and becomes '/'; a byte of
// the same value that is the second byte of a two-byte character is part of that character and
// must never become a separator. A name that is valid Shift-JIS gives valid UTF-8, the same
// text the general conversion gives; other bytes are kept as they stand, so that a name that is
// already UTF-8 still finds its file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCommon.h"
#include "platform/Cp932.h"
#include "platform/ShiftJis.h"

namespace {

// The number of '/' and '\' bytes that are characters of their own.
std::size_t Separators(std::string_view name) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < name.size(); i += platform::CharLength(name, i)) {
    if (name[i] == '/' || name[i] == '\\') ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const std::string path = platform::NativeFileName(name);

  std::size_t slashes = 0;
  for (char c : path) slashes += c == '/' ? 1 : 0;

  const std::string display = platform::DisplayFileName(name);
  const std::string converted = platform::Cp932ToUtf8(display);
  const bool validShiftJis = converted.find(platform::kUtf8Replacement) == std::string::npos;
  if (validShiftJis) {
    FUZZ_CHECK(fuzz::IsValidUtf8(path));
    FUZZ_CHECK(path == converted);
    FUZZ_CHECK(slashes == Separators(name));
  } else {
    // Bytes that are not Shift-JIS may be taken one by one, and a byte '/' that followed a lead
    // byte without forming a character with it may stand alone then; but never more separators
    // than the name has '/' and '\' characters and '/' bytes after a lead byte.
    std::size_t possible = Separators(name);
    for (std::size_t i = 0; i < name.size(); i += platform::CharLength(name, i)) {
      if (platform::CharLength(name, i) == 2 && name[i + 1] == '/') ++possible;
    }
    FUZZ_CHECK(slashes >= Separators(name) && slashes <= possible);
  }
  // No byte '\' that is a character of its own survives.
  FUZZ_CHECK(display.size() == name.size());
  return 0;
}
