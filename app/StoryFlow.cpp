#include "app/StoryFlow.h"

#include <algorithm>

#include "platform/Cp932.h"
#include "platform/ShiftJis.h"

namespace {

// Command words are ASCII, and the engine compares them with ASCII letters folded: a two-byte
// character never equals a one-byte one.
bool SameWord(const std::string& token, std::string_view word) {
  return std::equal(token.begin(), token.end(), word.begin(), word.end(), [](char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(a) == lower(b);
  });
}

}  // namespace

TLineKind KindOfLine(const std::string& line, TStringDynArray& tokens) {
  tokens.clear();
  // The loader stores a label line as its label alone, so only labels begin with '@'.
  if (line.empty()) return TLineKind::Empty;
  if (line.front() == '@') return TLineKind::Label;
  tokens = TZelkScript::TokensOf(line);
  const std::string& word = tokens.front();
  if (SameWord(word, "#end")) return TLineKind::End;
  if (SameWord(word, "#goto")) return TLineKind::Goto;
  // The order in which the program registers its commands.
  if (SameWord(word, "#midi")) return TLineKind::Midi;
  if (SameWord(word, "#image")) return TLineKind::Image;
  return TLineKind::Text;
}

int32_t JumpTarget(const TScriptUnit& unit, int32_t gotoIndex, const std::string& target) {
  const int32_t p = gotoIndex + 1;
  if (target.empty() || target.front() != '@') return p;
  const auto found = unit.LabelLines.find(target);
  if (found == unit.LabelLines.end()) return p;
  // First the labels below the line after the #goto, then those from the top; the line right
  // after the #goto is in neither search, and reading goes on there anyway.
  const std::vector<int32_t>& at = found->second;
  const auto below = std::upper_bound(at.begin(), at.end(), p);
  if (below != at.end()) return *below;
  return at.front() < p ? at.front() : p;
}

std::string ShownName(const std::string& name) {
  return platform::Cp932ToUtf8(platform::DisplayFileName(name));
}
