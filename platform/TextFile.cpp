#include "platform/TextFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/ShiftJis.h"

namespace platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr char kCtrlZ = 0x1A;

}  // namespace

bool FileExists(const std::string& name) {
  struct stat info {};
  return ::stat(NativeFileName(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string CurrentFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  return error ? std::string(".") : Utf8ToCp932(folder.string());
}

TTextFileReader::TTextFileReader(const std::string& fileName)
    : displayName_(DisplayFileName(fileName)), buffer_(kBufferSize) {
  file_.reset(std::fopen(NativeFileName(fileName).c_str(), "rb"));
  if (!file_) {
    throw EInOutError(displayName_ + ": cannot open the file: " + std::strerror(errno));
  }
}

bool TTextFileReader::Fill() {
  if (next_ < end_) return true;
  if (ended_) return false;
  next_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
  if (end_ == 0) {
    if (std::ferror(file_.get())) {
      throw EInOutError(displayName_ + ": cannot read the file: " + std::strerror(errno));
    }
    ended_ = true;
    return false;
  }
  return true;
}

bool TTextFileReader::ReadLine(std::string& line) {
  line.clear();
  if (!Fill() || buffer_[next_] == kCtrlZ) {
    ended_ = true;
    next_ = end_;
    return false;
  }
  // The line runs to the next LF, possibly across several buffer loads; CRs are left out.
  for (;;) {
    const char* start = buffer_.data() + next_;
    const std::size_t available = end_ - next_;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t length = lf ? static_cast<std::size_t>(lf - start) : available;
    for (std::size_t i = 0; i < length;) {
      const auto* cr = static_cast<const char*>(std::memchr(start + i, '\r', length - i));
      const std::size_t stop = cr ? static_cast<std::size_t>(cr - start) : length;
      line.append(start + i, stop - i);
      i = stop + 1;
    }
    next_ += length;
    if (lf) {
      ++next_;
      return true;
    }
    if (!Fill()) return true;
  }
}

}  // namespace platform
