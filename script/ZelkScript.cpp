#include "script/ZelkScript.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/ShiftJis.h"
#include "platform/TextFile.h"
#include "script/MyCrypt.h"

namespace {

bool IsBlankChar(std::string_view text, std::size_t index, std::size_t length) {
  if (length == 1) return text[index] == ' ' || text[index] == '\t';
  return text[index] == '\x81' && text[index + 1] == '\x40';  // the full-width space
}

bool IsControlOrSpace(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

// Why no story was loaded. Something that is there but is no file (a folder, a pipe) is named as
// such: "not found" would send the author looking for a file they can see.
std::string NoStoryMessage(const std::string& fileName) {
  const std::string shown = platform::DisplayFileName(fileName);
  const std::string folder = platform::CurrentFolder();
  std::error_code error;
  const auto status = std::filesystem::status(platform::NativeFileName(fileName), error);
  if (std::filesystem::is_directory(status)) {
    return shown + ": the story file is a folder, not a file (in " + folder + ")";
  }
  if (std::filesystem::exists(status)) {
    return shown + ": the story file is not a regular file (in " + folder + ")";
  }
  return shown + ": the story file was not found in " + folder;
}

// A character with its case folded, for IsCommand. One-byte characters keep their byte; two-byte
// ones become lead * 256 + second byte, so the two kinds never compare equal. Folded are the
// ASCII letters and the case pairs of the two-byte alphabets of code page 932.
uint32_t FoldedChar(std::string_view text, std::size_t index, std::size_t length) {
  const auto first = static_cast<unsigned char>(text[index]);
  if (length == 1) return first >= 'A' && first <= 'Z' ? first + 0x20u : first;
  const uint32_t code = first * 0x100u + static_cast<unsigned char>(text[index + 1]);
  if (code >= 0x8260 && code <= 0x8279) return code + 0x21;  // full-width Latin A-Z
  if (code >= 0x839F && code <= 0x83B6) return code + 0x20;  // Greek
  // Cyrillic: the lower-case row skips 0x847F, which is no second byte.
  if (code >= 0x8440 && code <= 0x844E) return code + 0x30;
  if (code >= 0x844F && code <= 0x8460) return code + 0x31;
  return code;
}

}  // namespace

// --- Text primitives ---------------------------------------------------------------------------

void TZelkScript::Tokenize(const std::string& Line, TStringDynArray& Tokens) {
  // Every blank (space, TAB, full-width space) becomes a space and every run of them a single
  // space, all in one pass over the characters; a space that is the second byte of a two-byte
  // character is none of these.
  std::string text;
  text.reserve(Line.size());
  bool afterBlank = false;
  for (std::size_t i = 0; i < Line.size();) {
    const std::size_t length = platform::CharLength(Line, i);
    if (IsBlankChar(Line, i, length)) {
      if (!afterBlank) text.push_back(' ');
      afterBlank = true;
    } else {
      text.append(Line, i, length);
      afterBlank = false;
    }
    i += length;
  }
  // Trimming is by byte: any byte at or below 0x20 goes at either end.
  const auto first = std::find_if_not(text.begin(), text.end(), IsControlOrSpace);
  const auto last =
      std::find_if_not(text.rbegin(), std::make_reverse_iterator(first), IsControlOrSpace).base();
  Split(std::string(first, last), " ", Tokens);
}

bool TZelkScript::IsLabel(const std::string& Text, int32_t Index) {
  if (Index < 1 || static_cast<std::size_t>(Index) > Text.size()) return false;
  const auto at = static_cast<std::size_t>(Index - 1);
  return Text[at] == '@' && platform::IsCharStart(Text, at);
}

bool TZelkScript::SameWord(const std::string& Token, const std::string& Word) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < Token.size() && j < Word.size()) {
    const std::size_t a = platform::CharLength(Token, i);
    const std::size_t b = platform::CharLength(Word, j);
    if (FoldedChar(Token, i, a) != FoldedChar(Word, j, b)) return false;
    i += a;
    j += b;
  }
  return i == Token.size() && j == Word.size();
}

bool TZelkScript::IsCommand(const std::string& Line, const std::string& Word,
                            TStringDynArray& Tokens) {
  Tokenize(Line, Tokens);
  return SameWord(Tokens.front(), Word);
}

bool TZelkScript::BeginsWithLabel(const std::string& Line) {
  // The first token starts at the first character that is neither a blank nor a byte at or
  // below 0x20, since normalising and trimming remove exactly those in front of it.
  for (std::size_t i = 0; i < Line.size();) {
    const std::size_t length = platform::CharLength(Line, i);
    if (!IsBlankChar(Line, i, length) && !IsControlOrSpace(Line[i])) return Line[i] == '@';
    i += length;
  }
  return false;
}

// --- Loading -----------------------------------------------------------------------------------

TZelkScript::TZelkScript(const std::string& FileName, bool Scrambled) {
  ClearUnits();
  LoadScript(FileName, Scrambled);
}

TZelkScript::~TZelkScript() = default;

void TZelkScript::ClearUnits() {
  Units.clear();
}

bool TZelkScript::LoadScript(const std::string& FileName, bool Scrambled) {
  StoryName = FileName;
  if (!platform::FileExists(FileName)) {
    platform::Beep();
    return false;
  }
  Units.emplace_back();
  Current().FileName = FileName;

  platform::TTextFileReader file(FileName);
  std::string read;
  std::string Line;
  TStringDynArray pieces;
  TStringDynArray tokens;
  int32_t number = 0;
  while (file.ReadLine(read)) {
    ++number;
    if (Scrambled) read = Crypt(read);
    Split(read, "//", pieces);
    Line = std::move(pieces.front());
    if (BeginsWithLabel(Line)) {
      Tokenize(Line, tokens);
      Line = tokens.front();
    }
    StoreLine(Line, number);
  }
  // The last line is stored twice, so that fetching it can be told from fetching any other.
  StoreLine(Line, std::max(number, 1));
  return true;
}

void TZelkScript::AddLine(const std::string& Line) {
  const int32_t previous =
      Units.empty() || Current().SourceLines.empty() ? 0 : Current().SourceLines.back();
  StoreLine(Line, previous + 1);
}

void TZelkScript::StoreLine(const std::string& Line, int32_t SourceLine) {
  if (Units.empty()) throw platform::ERangeError("no story is loaded to store a line in");
  TScriptUnit& unit = Current();
  if (unit.Count >= TScriptUnit::Slots) {
    throw platform::ERangeError(platform::DisplayFileName(unit.FileName) + ":" +
                                std::to_string(SourceLine) +
                                ": the story is too long; a story may have at most " +
                                std::to_string(TScriptUnit::Slots - 1) + " lines");
  }
  if (!Line.empty() && Line.front() == '@') unit.LabelLines[Line].push_back(unit.Count);
  unit.Lines.push_back(Line);
  unit.SourceLines.push_back(SourceLine);
  unit.FetchRounds.push_back(0);
  ++unit.Count;
}

// --- Stepping ----------------------------------------------------------------------------------

void TZelkScript::SetLinesPerPage(int32_t Value) {
  LinesPerPage = Value;
}

void TZelkScript::SetPageHandler(TPageProc Handler) {
  PageHandler = Handler;
  PageMode = true;
}

void TZelkScript::AddCommand(const std::string& Name, TCommandProc Handler) {
  Commands.push_back(TCommandIndex{Name, 1, nullptr, Handler});
}

std::string TZelkScript::Where(int32_t Index) const {
  const TScriptUnit& unit = Current();
  return platform::DisplayFileName(unit.FileName) + ":" +
         std::to_string(unit.SourceLines.at(static_cast<std::size_t>(Index))) + ": ";
}

void TZelkScript::NextLine(std::string& Text) {
  TScriptUnit& unit = Current();
  if (unit.Position < unit.Count) {
    Text = unit.Lines[static_cast<std::size_t>(unit.Position)];
    ++unit.Position;
  } else {
    Text = "#end";
  }
}

bool TZelkScript::IsLastLine() const {
  return Current().Position >= Current().Count - 1;
}

void TZelkScript::GotoLabel(const std::string& Target) {
  if (!IsLabel(Target, 1)) return;
  TScriptUnit& unit = Current();
  const auto found = unit.LabelLines.find(Target);
  if (found == unit.LabelLines.end()) return;
  // The line right after the #goto line (p) is left out of both searches: first the lines below
  // it, then those from the top; with neither, reading goes on at p anyway.
  const std::vector<int32_t>& at = found->second;
  const int32_t p = unit.Position;
  const auto below = std::upper_bound(at.begin(), at.end(), p);
  if (below != at.end()) {
    unit.Position = *below;
  } else if (at.front() < p) {
    unit.Position = at.front();
  }
}

void TZelkScript::Finish() {
  platform::Application.Terminate();
  Finished = true;
}

uint32_t TZelkScript::NextFetchRound() {
  if (++FetchRound == 0) {
    // After four billion rounds the marks start over; no old mark may look current.
    for (TScriptUnit& unit : Units) std::fill(unit.FetchRounds.begin(), unit.FetchRounds.end(), 0u);
    FetchRound = 1;
  }
  return FetchRound;
}

void TZelkScript::NextTextLine(std::string& Line) {
  Line.clear();
  if (Finished) return;
  if (PageBreak) {
    if (!PageMode && ClearHandler != nullptr) ClearHandler();
    LineCount = 0;
    PageBreak = false;
  }
  if (LineCount >= LinesPerPage) {
    PageBreak = true;
    return;
  }

  // Within one call the page state does not change, so fetching a line this call has already
  // fetched means the jumps go round in a circle that holds no text line and would never end.
  // The #goto that closed the circle is reported and counts as used up, without its jump.
  const uint32_t round = NextFetchRound();
  int32_t lastJump = -1;  // index of the last #goto line that moved the reading position
  std::string Text;
  TStringDynArray& Tokens = LineTokens;
  for (;;) {
    TScriptUnit& unit = Current();
    if (unit.Position < unit.Count) {
      uint32_t& mark = unit.FetchRounds[static_cast<std::size_t>(unit.Position)];
      if (mark == round && lastJump >= 0) {
        Tokenize(unit.Lines[static_cast<std::size_t>(lastJump)], Tokens);
        const std::string where = Where(lastJump);
        unit.Position = lastJump + 1;
        throw platform::ERangeError(where + Tokens[0] + " " + Tokens[1] +
                                    " loops without reaching a line of text");
      }
      mark = round;
    }
    NextLine(Text);
    if (IsLastLine()) {
      Finish();
      return;
    }
    if (Text.empty() || IsLabel(Text, 1)) {
      if (LineCount == 0) continue;
      PageBreak = true;
      return;
    }
    Tokenize(Text, Tokens);
    if (SameWord(Tokens.front(), "#end")) {
      Finish();
      return;
    }
    if (SameWord(Tokens.front(), "#goto")) {
      const int32_t gotoLine = unit.Position - 1;
      if (Tokens.size() < 2) {
        throw platform::ERangeError(Where(gotoLine) + Tokens[0] +
                                    " needs a label to jump to, e.g. #goto @start");
      }
      GotoLabel(Tokens[1]);
      if (unit.Position != gotoLine + 1) lastJump = gotoLine;
      continue;
    }
    const auto command = std::find_if(Commands.begin(), Commands.end(), [&](const auto& c) {
      return SameWord(Tokens.front(), c.Name);
    });
    if (command != Commands.end()) {
      // The handler gets its own copy: it may step the engine again, which reuses Tokens.
      // Errors of the story's own making leave with the place of the line that caused them, so
      // an author sees "dat/story.txt:7: #image needs a file name"; their kind stays the same.
      const int32_t commandLine = unit.Position - 1;
      try {
        if (command->Kind == 1) {
          if (command->CommandProc != nullptr) command->CommandProc(Tokens);
        } else if (command->SimpleProc != nullptr) {
          command->SimpleProc();
        }
      } catch (const platform::ERangeError& error) {
        throw platform::ERangeError(Where(commandLine) + error.what());
      } catch (const platform::EGraphicError& error) {
        throw platform::EGraphicError(Where(commandLine) + error.what());
      } catch (const platform::EInOutError& error) {
        throw platform::EInOutError(Where(commandLine) + error.what());
      }
      continue;
    }
    Line = Text;
    ++LineCount;
    return;
  }
}

void TZelkScript::NextPage(TStringDynArray& Page) {
  Page.clear();
  std::string line;
  while (!Finished) {
    NextTextLine(line);
    if (PageBreak) break;
    Page.push_back(line);
  }
}

void TZelkScript::NextLineOnly(std::string& Line) {
  Line.clear();
  // With no room for a line on a page, every call would only break the page again, forever.
  if (LinesPerPage < 1) return;
  std::string line;
  do {
    if (Finished) return;
    NextTextLine(line);
  } while (PageBreak);
  Line = line;
}

void TZelkScript::Step() {
  if (Units.empty()) throw platform::EInOutError(NoStoryMessage(StoryName));
  if (PageMode) {
    TStringDynArray page;
    NextPage(page);
    if (PageHandler != nullptr) PageHandler(page);
  } else {
    std::string line;
    NextLineOnly(line);
    if (LineHandler != nullptr) LineHandler(line);
  }
}
