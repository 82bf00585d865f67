#pragma once
// Character boundaries in Shift-JIS (code page 932) byte strings, and the searches built on them.
//
// Walking a text from its first byte, a byte in 0x81-0x9F or 0xE0-0xFC begins a two-byte
// character and the byte after it is that character's second byte; every other byte is a
// character by itself. Second bytes overlap ASCII ('@', '\', '[' ... all occur), so a plain byte
// search can match in the middle of a character: "\x95\x5C" is one kanji, not a kanji half and a
// backslash. Everything here walks the text from a known character start instead.
//
// A lead byte on the last byte of a text stands alone: nothing here reads past the end.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The length (1 or 2) of the character that begins at Index, which must be a character start
// below text.size().
inline std::size_t CharLength(std::string_view text, std::size_t index) {
  return IsLeadByte(static_cast<unsigned char>(text[index])) && index + 1 < text.size() ? 2 : 1;
}

// True when Index is the first byte of a character of Text (walking from its first byte); false
// for a second byte and for any Index at or past the end.
bool IsCharStart(std::string_view text, std::size_t index);

// The first occurrence of Pattern in Text at or after From that begins on a character start, or
// npos. From is taken as the start of a character, as if Text began there. An empty pattern is
// found at From.
std::size_t Find(std::string_view text, std::string_view pattern, std::size_t from = 0);

// The last occurrence of Pattern in Text that begins on a character start, or npos; an empty
// pattern is found at the end.
std::size_t FindLast(std::string_view text, std::string_view pattern);

// Text with every occurrence of Pattern (found as Find finds it, left to right, without overlap)
// replaced by Replacement. After each match the search goes on as if Text began there. An empty
// pattern replaces nothing.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// A story's file name ("dat\story.txt") as the file system here knows it: every '\' that is a
// character of its own becomes '/', the Shift-JIS bytes become UTF-8, and a name that exists only
// in another case of letters is found (ResolveFileName in FileNames.h).
std::string NativeFileName(std::string_view name);

// A file name as messages show it: '\' separators shown as '/', a NUL byte as "\0", still
// Shift-JIS like every other text above the platform layer.
std::string DisplayFileName(std::string_view name);

}  // namespace platform
