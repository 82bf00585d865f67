#pragma once
// The script engine: loads a story file into a line store and steps through it page by page,
// following jumps and calling the handlers registered for the story's commands.
//
// Story files are Shift-JIS text, one statement a line:
//   - everything from the first "//" on is a comment;
//   - an empty line separates pages;
//   - a line whose first word begins with "@" is a label, the target of "#goto @label";
//   - "#end", "#goto" and the registered command words (any case of letters) are commands;
//   - every other line is text and is shown exactly as it stands.
// The file's last line is never shown or carried out: fetching it ends the story.
//
// Errors name the story file and line in the form "dat/story.txt:12: message".

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/ZelkUtility.h"

// Handlers are plain procedures; they get their own copy of what is delivered.
using TPageProc = void (*)(TStringDynArray);
using TCommandProc = void (*)(TStringDynArray);
using TLineProc = void (*)(std::string);
using TSimpleProc = void (*)();

// One loaded story.
struct TScriptUnit {
  // A story holds at most Slots - 1 lines: the loader stores the last line a second time.
  static constexpr int32_t Slots = 10000;

  std::vector<std::string> Lines;  // the stored lines, in file order; never more than Slots
  int32_t Count = 0;               // number of stored lines
  int32_t Position = 0;            // index of the next line to fetch

  std::string FileName;               // as given to LoadScript, for messages
  std::vector<int32_t> SourceLines;   // 1-based line in the file of each stored line
  std::vector<uint32_t> FetchRounds;  // per stored line, the last fetch round that read it
  // Every stored line that begins with "@", with the indices where it stands, ascending; only
  // such lines can equal a jump target.
  std::unordered_map<std::string, std::vector<int32_t>> LabelLines;
};

// One registered command.
struct TCommandIndex {
  std::string Name;  // the command word, for example "#midi"
  uint8_t Kind = 0;  // 1: CommandProc with the tokens; otherwise SimpleProc
  TSimpleProc SimpleProc = nullptr;
  TCommandProc CommandProc = nullptr;
};

class TZelkScript {
 public:
  // Reads FileName (scrambled with Crypt when Scrambled) as the one loaded story. A missing file
  // only beeps and leaves the engine without a story; Step then reports it. A file that cannot
  // be read raises platform::EInOutError, and one of more than 9999 lines platform::ERangeError.
  TZelkScript(const std::string& FileName, bool Scrambled);
  ~TZelkScript();
  TZelkScript(const TZelkScript&) = delete;
  TZelkScript& operator=(const TZelkScript&) = delete;

  // Reads the file into a new unit that becomes the current one. False (after a beep) when no
  // such file exists; a folder does not count as one.
  bool LoadScript(const std::string& FileName, bool Scrambled);
  // Stores Line in the next free slot of the current unit.
  void AddLine(const std::string& Line);
  void ClearUnits();

  void SetLinesPerPage(int32_t Value);
  // Switches to page delivery: every Step hands its page to Handler.
  void SetPageHandler(TPageProc Handler);
  // The earliest registration of a word wins; "#end" and "#goto" cannot be overridden.
  void AddCommand(const std::string& Name, TCommandProc Handler);

  // Carries out the commands up to the next page of text and delivers that page. The step in
  // which the story ends asks the application to terminate and delivers its page with one more,
  // empty, element; every later step delivers an empty page.
  void Step();

  // For tools that read a story without playing it (the story checker, the headless walk): the
  // story in use with its stored lines, their lines in the file and the reading position; null
  // when no story is loaded. Read only.
  const TScriptUnit* CurrentUnit() const { return Units.empty() ? nullptr : &Units.back(); }
  // The tokens of Line as the engine cuts it to recognise commands and labels.
  static TStringDynArray TokensOf(const std::string& Line) {
    TStringDynArray tokens;
    Tokenize(Line, tokens);
    return tokens;
  }

 private:
  friend class TZelkScriptProbe;  // lets the unit tests reach the private primitives and state

  static void Tokenize(const std::string& Line, TStringDynArray& Tokens);
  static bool IsLabel(const std::string& Text, int32_t Index);
  static bool IsCommand(const std::string& Line, const std::string& Word, TStringDynArray& Tokens);
  // The case-insensitive comparison of IsCommand, on a token already cut.
  static bool SameWord(const std::string& Token, const std::string& Word);
  // Whether the first token of Line is a label, without cutting the line into tokens.
  static bool BeginsWithLabel(const std::string& Line);

  void NextLine(std::string& Text);
  bool IsLastLine() const;
  void GotoLabel(const std::string& Target);
  void Finish();
  void NextTextLine(std::string& Line);
  void NextPage(TStringDynArray& Page);
  void NextLineOnly(std::string& Line);

  void StoreLine(const std::string& Line, int32_t SourceLine);
  TScriptUnit& Current() { return Units.back(); }
  const TScriptUnit& Current() const { return Units.back(); }
  // "file:line: " for the stored line at Index of the current unit.
  std::string Where(int32_t Index) const;
  uint32_t NextFetchRound();

  std::vector<TScriptUnit> Units;
  int32_t LinesPerPage = 0;
  bool PageMode = false;
  TLineProc LineHandler = nullptr;
  TSimpleProc ClearHandler = nullptr;
  TPageProc PageHandler = nullptr;
  std::vector<TCommandIndex> Commands;
  int32_t LineCount = 0;
  bool Finished = false;
  bool PageBreak = false;

  std::string StoryName;       // the file the last LoadScript was asked for
  uint32_t FetchRound = 0;     // numbers the calls of NextTextLine, for the loop check
  TStringDynArray LineTokens;  // reused by NextTextLine, to spare allocations per line
};
