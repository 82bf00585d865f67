#include "platform/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace platform {

namespace {

iconv_t Descriptor(void* d) {
  return static_cast<iconv_t>(d);
}

// The length of the well-formed UTF-8 sequence at the start of Text, or 1 when there is none;
// a character with no CP932 code is skipped whole so that it leaves a single mark.
std::size_t Utf8SequenceLength(const char* text, std::size_t left) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0xC2   ? 1
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 1;
  if (length > left) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

TCp932Converter::TCp932Converter(TDirection direction) : direction_(direction) {
  const char* to = direction == TDirection::ToUtf8 ? "UTF-8" : "CP932";
  const char* from = direction == TDirection::ToUtf8 ? "CP932" : "UTF-8";
  iconv_t d = iconv_open(to, from);
  if (d == reinterpret_cast<iconv_t>(-1)) {
    throw EInOutError(std::string("iconv cannot convert from ") + from + " to " + to + ": " +
                      std::strerror(errno));
  }
  descriptor_ = d;
}

TCp932Converter::~TCp932Converter() {
  iconv_close(Descriptor(descriptor_));
}

std::string TCp932Converter::Convert(std::string_view text, TInvalid invalid) {
  const std::string_view defaultMark = direction_ == TDirection::ToUtf8 ? kUtf8Replacement : "?";
  iconv_t d = Descriptor(descriptor_);
  iconv(d, nullptr, nullptr, nullptr, nullptr);  // start from the initial state

  std::string out;
  // UTF-8 takes at most 3 bytes for any CP932 character (2 bytes in); the other way it shrinks.
  out.resize(text.size() * 3 / 2 + 16);
  std::size_t used = 0;
  // iconv's prototype takes char** for input it never writes.
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    const std::size_t result = iconv(d, &in, &inLeft, &outPtr, &outLeft);
    used = static_cast<std::size_t>(outPtr - out.data());
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
      continue;
    }
    // EILSEQ (not a character, or none in the target set) or EINVAL (a character cut short by the
    // end of the text): mark what iconv stopped at and carry on behind it, so a bad byte never
    // takes the rest of the line with it. A Shift-JIS lead byte with a bad trail byte marks only
    // the lead byte: the trail byte may well be a character of its own.
    const std::size_t skip = direction_ == TDirection::ToUtf8 ? 1 : Utf8SequenceLength(in, inLeft);
    const std::string_view mark =
        invalid == TInvalid::Keep ? std::string_view(in, skip) : defaultMark;
    if (out.size() - used < mark.size()) out.resize(out.size() * 2 + 16);
    out.replace(used, mark.size(), mark);
    used += mark.size();
    in += skip;
    inLeft -= skip;
    iconv(d, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}

std::string Cp932ToUtf8(std::string_view text) {
  return TCp932Converter(TCp932Converter::TDirection::ToUtf8).Convert(text);
}

std::string Utf8ToCp932(std::string_view text) {
  return TCp932Converter(TCp932Converter::TDirection::FromUtf8).Convert(text);
}

}  // namespace platform
