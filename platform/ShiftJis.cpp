#include "platform/ShiftJis.h"

#include <algorithm>

#include "platform/FileNames.h"

namespace platform {

bool IsCharStart(std::string_view text, std::size_t index) {
  std::size_t i = 0;
  while (i < index && i < text.size()) i += CharLength(text, i);
  return i == index && index < text.size();
}

std::size_t Find(std::string_view text, std::string_view pattern, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  if (pattern.empty()) return from;
  // Let the byte search propose candidates and walk the character starts up to each one, so the
  // whole search stays linear in the length of Text.
  std::size_t boundary = from;
  std::size_t candidate = text.find(pattern, from);
  while (candidate != std::string_view::npos) {
    while (boundary < candidate) boundary += CharLength(text, boundary);
    if (boundary == candidate) return candidate;
    // The candidate is a second byte; the next character starts at Boundary.
    candidate = text.find(pattern, boundary);
  }
  return std::string_view::npos;
}

std::size_t FindLast(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return text.size();
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i + pattern.size() <= text.size(); i += CharLength(text, i)) {
    if (text.compare(i, pattern.size(), pattern) == 0) last = i;
  }
  return last;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = Find(text, pattern); at != std::string_view::npos;
       at = Find(text, pattern, from)) {
    result.append(text.substr(from, at - from));
    result.append(replacement);
    from = at + pattern.size();
  }
  result.append(text.substr(from));
  return result;
}

std::string NativeFileName(std::string_view name) {
  return ResolveFileName(name).Path;
}

std::string DisplayFileName(std::string_view name) {
  // A NUL byte would end the message wherever it is printed as a C string, cutting off the rest
  // of the name and the reason after it; it is shown as "\0" instead.
  return ReplaceAll(ReplaceAll(name, "\\", "/"), std::string_view("\0", 1), "\\0");
}

}  // namespace platform
