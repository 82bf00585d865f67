#include "script/ZelkUtility.h"

#include "platform/ShiftJis.h"

std::string CopyLeft(const std::string& Text, int32_t Size) {
  if (Size <= 0) return {};
  return Text.substr(0, static_cast<std::size_t>(Size));
}

void Split(const std::string& Text, const std::string& Separator, TStringDynArray& Pieces) {
  if (Separator.empty()) return;
  Pieces.clear();
  const std::string_view text = Text;
  std::size_t from = 0;
  for (std::size_t at = platform::Find(text, Separator); at != std::string_view::npos;
       at = platform::Find(text, Separator, from)) {
    Pieces.push_back(Text.substr(from, at - from));
    from = at + Separator.size();
  }
  // What is left has no separator of its own, but the one appended to the text may pair with
  // a separator-like ending of it: the first character start whose bytes, followed by the
  // appended separator, begin with the separator. Without one, the appended separator itself
  // closes the last piece. A lead byte at the very end stands alone here, so the appended
  // separator is never taken for its second byte.
  const std::string_view rest = text.substr(from);
  std::size_t cut = rest.size();
  for (std::size_t i = 0; i < rest.size(); i += platform::CharLength(rest, i)) {
    const std::size_t tail = rest.size() - i;
    if (tail >= Separator.size()) continue;
    const std::string_view sep = Separator;
    if (rest.substr(i) == sep.substr(0, tail) &&
        sep.substr(tail) == sep.substr(0, sep.size() - tail)) {
      cut = i;
      break;
    }
  }
  Pieces.emplace_back(rest.substr(0, cut));
}
