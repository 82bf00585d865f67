#include "script/MyCrypt.h"

namespace {

constexpr unsigned char kMask = 0x1B;

}  // namespace

std::string Crypt(const std::string& Text) {
  std::string result = Text;
  for (char& c : result) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20) c = static_cast<char>(byte ^ kMask);
  }
  return result;
}
