#pragma once
// Conversion between Shift-JIS (code page 932) and UTF-8.
//
// Everything above the platform layer keeps text as Shift-JIS bytes; it becomes UTF-8 only where
// it meets the outside world: file names, drawn text, messages on the terminal. iconv's "CP932"
// is used rather than "SHIFT_JIS", which maps 0x5C to the yen sign, 0x8160 to a different wave
// dash and rejects the NEC/IBM extensions (circled digits and the like) that Japanese Windows
// text uses freely.

#include <string>
#include <string_view>

namespace platform {

// One iconv conversion descriptor, owned. Converting never fails: input that cannot be converted
// is replaced, one mark per offending byte, and conversion goes on with the next byte, so the
// rest of the text is never lost.
class TCp932Converter {
 public:
  enum class TDirection { ToUtf8, FromUtf8 };

  // Raises EInOutError when the system's iconv does not know CP932.
  explicit TCp932Converter(TDirection direction);
  ~TCp932Converter();
  TCp932Converter(const TCp932Converter&) = delete;
  TCp932Converter& operator=(const TCp932Converter&) = delete;

  // What becomes of bytes that cannot be converted: a mark each (U+FFFD, or '?' towards
  // CP932), or the bytes themselves, as a file name needs them to still name its file.
  enum class TInvalid { Mark, Keep };
  std::string Convert(std::string_view text, TInvalid invalid = TInvalid::Mark);

 private:
  void* descriptor_;  // iconv_t, kept opaque so that no caller sees <iconv.h>
  TDirection direction_;
};

// Shift-JIS bytes to UTF-8; every byte that does not start a valid CP932 character (a lone lead
// byte, an undefined code) becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view text);

// UTF-8 to Shift-JIS; every character CP932 cannot hold, and every byte that is not valid UTF-8,
// becomes '?'.
std::string Utf8ToCp932(std::string_view text);

// The UTF-8 encoding of U+FFFD, the mark Cp932ToUtf8 puts in place of bytes it cannot convert.
inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

}  // namespace platform
