#pragma once
// Helpers shared by the fuzzing harnesses: a scratch folder for the files a harness must hand
// over by name, a checked-invariant macro that stops the process the way a sanitizer would, and
// the small text checks several harnesses use.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

// A broken invariant is a finding like a crash: report where and abort, so that libFuzzer keeps
// the input and the replay test fails.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

namespace fuzz {

// A private folder under the system's temporary folder, made on first use and removed when the
// process ends normally. The current directory is never changed: libFuzzer writes its crash
// files there.
class TScratchFolder {
 public:
  static const std::filesystem::path& Path() {
    static TScratchFolder folder;
    return folder.path_;
  }

  // Writes Bytes exactly as given to Name inside the folder and returns the file's full path.
  static std::string Write(const std::string& name, const uint8_t* data, std::size_t size) {
    const std::filesystem::path file = Path() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file.string();
  }

 private:
  TScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvi-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  std::filesystem::path path_;
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
inline bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    uint32_t code = 0;
    if (byte < 0x80) {
      ++i;
      continue;
    } else if (byte >= 0xC2 && byte <= 0xDF) {
      length = 2;
      code = byte & 0x1Fu;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      length = 3;
      code = byte & 0x0Fu;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      length = 4;
      code = byte & 0x07u;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// Splits a fuzz input into a few fields: each field but the last is preceded by its length
// byte (cut to what is left), the last one takes the rest.
class TInputReader {
 public:
  TInputReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  uint8_t Byte() {
    if (at_ >= size_) return 0;
    return data_[at_++];
  }
  std::string Field() {
    const std::size_t wanted = Byte();
    const std::size_t length = wanted < size_ - at_ ? wanted : size_ - at_;
    std::string field(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return field;
  }
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
    at_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace fuzz
