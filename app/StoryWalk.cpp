#include "app/StoryWalk.h"

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "app/StoryFlow.h"
#include "graphics/UnitBmp.h"
#include "platform/Cp932.h"
#include "script/ZelkScript.h"

namespace {

// The engine calls plain procedures, so what they need lives here while a walk runs.
struct TWalkState {
  std::ostream* Out = nullptr;
  TZelkScript* Script = nullptr;
  int32_t Next = 0;  // index of the first stored line whose passing is not printed yet
  TStringDynArray Page;
};
TWalkState* Walk = nullptr;

std::string Joined(const TStringDynArray& tokens) {
  std::string text;
  for (const std::string& token : tokens) text += (text.empty() ? "" : " ") + token;
  return platform::Cp932ToUtf8(text);
}

// The engine carries out #goto itself, so the jumps between two lines that the walk sees (a
// command handed to a handler, a page delivered) are found by reading from the line after the
// previous one to Target with the engine's rules, and printed. Nothing is printed when that
// reading does not arrive at Target.
void PrintJumpsUpTo(int32_t target) {
  const TScriptUnit& unit = *Walk->Script->CurrentUnit();
  std::vector<std::string> jumps;
  TStringDynArray tokens;
  int32_t at = Walk->Next;
  for (int32_t guard = 0; at != target; ++guard) {
    if (at < 0 || at >= unit.Count || guard > unit.Count) return;
    if (KindOfLine(unit.Lines[static_cast<std::size_t>(at)], tokens) == TLineKind::Goto &&
        tokens.size() >= 2) {
      jumps.push_back(platform::Cp932ToUtf8(tokens[0] + " " + tokens[1]));
      at = JumpTarget(unit, at, tokens[1]);
    } else {
      ++at;
    }
  }
  for (const std::string& jump : jumps) *Walk->Out << jump << '\n';
  Walk->Next = target;
}

// The line a handler is called for is the one just fetched.
int32_t FetchedLine() {
  return Walk->Script->CurrentUnit()->Position - 1;
}

void OnWalkPage(TStringDynArray Page) {
  Walk->Page = std::move(Page);
}

void OnWalkMidi(TStringDynArray Tokens) {
  PrintJumpsUpTo(FetchedLine());
  *Walk->Out << Joined(Tokens) << '\n';
  Walk->Next = FetchedLine() + 1;
}

void OnWalkImage(TStringDynArray Tokens) {
  PrintJumpsUpTo(FetchedLine());
  *Walk->Out << Joined(Tokens) << '\n';
  Walk->Next = FetchedLine() + 1;
  // The player's own handler, so that a picture fails exactly as it would on screen.
  OnImageCommand(std::move(Tokens));
}

}  // namespace

TWalkResult WalkStory(std::ostream& out, int64_t maxSteps) {
  TWalkResult result;
  TWalkState state;
  state.Out = &out;
  Walk = &state;
  CreateBitmaps();
  struct TCleanUp {
    ~TCleanUp() {
      FreeBitmaps();
      FrameBitmap = SceneBitmap = ImageBitmap = nullptr;
      Walk = nullptr;
    }
  } cleanUp;

  const auto report = [&](const std::exception& error) {
    out << "error: " << platform::Cp932ToUtf8(error.what()) << '\n';
    ++result.Errors;
  };

  try {
    TZelkScript script("dat\\story.txt", false);
    state.Script = &script;
    script.SetLinesPerPage(1);
    script.SetPageHandler(OnWalkPage);
    script.AddCommand("#midi", OnWalkMidi);
    script.AddCommand("#image", OnWalkImage);

    while (result.Steps < maxSteps) {
      ++result.Steps;
      state.Page.clear();
      try {
        script.Step();
      } catch (const std::exception& error) {
        const TScriptUnit* unit = script.CurrentUnit();
        if (unit != nullptr && state.Next != unit->Position) PrintJumpsUpTo(unit->Position - 1);
        report(error);
        if (unit == nullptr || result.Steps == 1) {
          // An error in the first step ends the player before its window is shown.
          out << "(the player does not start)\n";
          return result;
        }
        state.Next = unit->Position;
        continue;
      }
      const TScriptUnit& unit = *script.CurrentUnit();
      const int32_t fetched = unit.Position - 1;
      PrintJumpsUpTo(fetched);
      state.Next = unit.Position;
      if (state.Page.empty()) break;  // a step after the end; the loop stops before that
      if (!state.Page.back().empty()) {
        out << platform::Cp932ToUtf8(state.Page.front()) << '\n';
        continue;
      }
      // The step that ended the story: by #end, or by fetching the file's last line.
      TStringDynArray tokens;
      if (fetched >= 0 && fetched < unit.Count - 2 &&
          KindOfLine(unit.Lines[static_cast<std::size_t>(fetched)], tokens) == TLineKind::End) {
        out << platform::Cp932ToUtf8(tokens.front()) << '\n';
      } else {
        out << "(end: line " << unit.SourceLines[static_cast<std::size_t>(std::max(fetched, 0))]
            << " is the file's last line, which ends the story unshown)\n";
      }
      result.Ended = true;
      break;
    }
  } catch (const std::exception& error) {
    // Reading the story failed: the player would not start.
    report(error);
    out << "(the player does not start)\n";
    return result;
  }
  if (!result.Ended) out << "(stopped after " << result.Steps << " steps)\n";
  return result;
}
