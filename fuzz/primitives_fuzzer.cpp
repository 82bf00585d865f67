// The text primitives of the script language and of the platform's Shift-JIS layer, each
// checked against a plain restatement of its rule.
//
// Input: byte 0 picks the command word for IsCommand, then a separator (length byte + bytes),
// then the text (the rest).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCommon.h"
#include "platform/Cp932.h"
#include "platform/ShiftJis.h"
#include "script/MyCrypt.h"
#include "script/ZelkScript.h"
#include "script/ZelkUtility.h"

// The primitives are private to the engine; the harness reaches them as its unit tests do.
class TZelkScriptProbe {
 public:
  static void Tokenize(const std::string& line, TStringDynArray& tokens) {
    TZelkScript::Tokenize(line, tokens);
  }
  static bool IsCommand(const std::string& line, const std::string& word, TStringDynArray& tokens) {
    return TZelkScript::IsCommand(line, word, tokens);
  }
  static bool IsLabel(const std::string& text, int32_t index) {
    return TZelkScript::IsLabel(text, index);
  }
};

namespace {

using Probe = TZelkScriptProbe;

// The character starts of Text, walking from Start, by the rule alone.
std::vector<bool> CharStarts(std::string_view text, std::size_t start = 0) {
  std::vector<bool> starts(text.size(), false);
  for (std::size_t i = start; i < text.size();) {
    starts[i] = true;
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    i += lead ? 2 : 1;
  }
  return starts;
}

std::size_t ReferenceFind(std::string_view text, std::string_view pattern, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  const std::vector<bool> starts = CharStarts(text, from);
  for (std::size_t i = from; i < text.size() && i + pattern.size() <= text.size(); ++i) {
    if (starts[i] && text.substr(i, pattern.size()) == pattern) return i;
  }
  if (pattern.empty() && from == text.size()) return from;
  return std::string_view::npos;
}

bool SameWordIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void CheckCrypt(const std::string& text) {
  const std::string once = Crypt(text);
  FUZZ_CHECK(once.size() == text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto in = static_cast<unsigned char>(text[i]);
    const auto out = static_cast<unsigned char>(once[i]);
    FUZZ_CHECK(in < 0x20 ? out == in : out >= 0x20);
  }
  FUZZ_CHECK(Crypt(once) == text);
}

void CheckSplit(const std::string& text, const std::string& separator) {
  TStringDynArray pieces{"kept"};
  Split(text, separator, pieces);
  if (separator.empty()) {
    FUZZ_CHECK(pieces.size() == 1 && pieces[0] == "kept");
    return;
  }
  FUZZ_CHECK(!pieces.empty());
  // Joined back with the separator, the pieces give the text, less at most a tail shorter than
  // the separator (the part that paired with the separator added at the end).
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += separator;
    joined += pieces[i];
  }
  FUZZ_CHECK(joined.size() <= text.size());
  FUZZ_CHECK(text.compare(0, joined.size(), joined) == 0);
  FUZZ_CHECK(text.size() - joined.size() < separator.size());
  // Each cut was the first separator at a character start.
  std::size_t at = 0;
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
    FUZZ_CHECK(ReferenceFind(text, separator, at) == at + pieces[i].size());
    at += pieces[i].size() + separator.size();
  }
}

void CheckTokenize(const std::string& line, const std::string& word) {
  TStringDynArray tokens{"stale"};
  Probe::Tokenize(line, tokens);
  FUZZ_CHECK(!tokens.empty());
  for (const std::string& token : tokens) {
    // No token holds a blank that is a character of its own.
    const std::vector<bool> starts = CharStarts(token);
    for (std::size_t i = 0; i < token.size(); ++i) {
      if (!starts[i]) continue;
      FUZZ_CHECK(token[i] != ' ' && token[i] != '\t');
      FUZZ_CHECK(!(token[i] == '\x81' && i + 1 < token.size() && token[i + 1] == '\x40'));
    }
    FUZZ_CHECK(tokens.size() == 1 || !token.empty());
  }
  // The ends are trimmed of every byte at or below 0x20.
  FUZZ_CHECK(tokens.front().empty() || static_cast<unsigned char>(tokens.front().front()) > 0x20);
  FUZZ_CHECK(tokens.back().empty() || static_cast<unsigned char>(tokens.back().back()) > 0x20);

  TStringDynArray commandTokens{"stale"};
  const bool isCommand = Probe::IsCommand(line, word, commandTokens);
  FUZZ_CHECK(commandTokens == tokens);
  FUZZ_CHECK(isCommand == SameWordIgnoringCase(tokens.front(), word));

  FUZZ_CHECK(Probe::IsLabel(line, 1) == (!line.empty() && line[0] == '@'));
}

void CheckShiftJis(const std::string& text, const std::string& pattern) {
  const std::vector<bool> starts = CharStarts(text);
  for (std::size_t i = 0; i <= text.size(); ++i) {
    FUZZ_CHECK(platform::IsCharStart(text, i) == (i < text.size() && starts[i]));
  }
  for (std::size_t from : {std::size_t{0}, std::size_t{1}, text.size() / 2, text.size()}) {
    if (from > text.size()) continue;
    FUZZ_CHECK(platform::Find(text, pattern, from) == ReferenceFind(text, pattern, from));
  }
  // The last match is a character start where the pattern stands, with none after it.
  const std::size_t last = platform::FindLast(text, pattern);
  if (last != std::string_view::npos) {
    FUZZ_CHECK(last + pattern.size() <= text.size());
    FUZZ_CHECK(pattern.empty() ? last == text.size() : starts[last]);
    FUZZ_CHECK(text.compare(last, pattern.size(), pattern) == 0);
  }
  for (std::size_t i = (last == std::string_view::npos ? 0 : last + 1);
       !pattern.empty() && i + pattern.size() <= text.size(); ++i) {
    FUZZ_CHECK(!(starts[i] && text.compare(i, pattern.size(), pattern) == 0));
  }
  // Replacing the pattern by itself changes nothing.
  FUZZ_CHECK(platform::ReplaceAll(text, pattern, pattern) == text);
  const std::string replaced = platform::ReplaceAll(text, pattern, "");
  FUZZ_CHECK(pattern.empty() ? replaced == text : replaced.size() <= text.size());
}

void CheckCp932(const std::string& text) {
  const std::string utf8 = platform::Cp932ToUtf8(text);
  FUZZ_CHECK(fuzz::IsValidUtf8(utf8));
  // Bytes that are not UTF-8 at all still give CP932 text, with a '?' where needed.
  const std::string back = platform::Utf8ToCp932(text);
  FUZZ_CHECK(text.empty() == back.empty());
  if (fuzz::IsValidUtf8(text)) {
    // Whatever UTF-8 could not be held is a '?', so the way back to UTF-8 is always clean.
    FUZZ_CHECK(platform::Cp932ToUtf8(back).find(platform::kUtf8Replacement) == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kWords[] = {"#end", "#goto", "#image",   "#midi", "#END",
                                       "",     "@a",    "\x81\x40", "#\x81"};
  fuzz::TInputReader input(data, size);
  const std::string word = kWords[input.Byte() % (sizeof(kWords) / sizeof(kWords[0]))];
  const std::string separator = input.Field();
  const std::string text = input.Rest();

  CheckCrypt(text);
  CheckSplit(text, separator);
  CheckSplit(text, "//");
  CheckSplit(text, " ");
  CheckTokenize(text, word);
  CheckShiftJis(text, separator);
  CheckCp932(text);
  return 0;
}
