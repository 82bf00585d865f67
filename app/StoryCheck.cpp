#include "app/StoryCheck.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/StoryFlow.h"
#include "graphics/ZelkBmp.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "platform/MidiLibrary.h"
#include "platform/ShiftJis.h"
#include "platform/Text.h"

namespace {

constexpr const char* kStoryFile = "dat\\story.txt";
// Text is written from x = 15 in a frame 320 pixels wide, 14 pixels high and italic.
constexpr int kTextRoom = 320 - 15;
constexpr int kTextHeight = 14;

enum class TSeverity { Error, Warning };

struct TDiagnostic {
  int32_t Line;  // in the story file; 0 for the file as a whole
  TSeverity Severity;
  std::string Text;  // UTF-8
};

std::string Utf8(const std::string& shiftJis) {
  return platform::Cp932ToUtf8(shiftJis);
}

// The code points of UTF-8 text (which iconv made, so it is well formed).
std::vector<char32_t> CodePoints(const std::string& utf8) {
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      point = point << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

class TChecker {
 public:
  explicit TChecker(const TScriptUnit& unit)
      : unit_(unit), font_(kTextHeight, platform::fsItalic) {}

  std::vector<TDiagnostic> Run() {
    // The stored copy of the last line (the last slot) is no line of the file.
    const int32_t lines = unit_.Count - 1;
    if (!font_.Valid()) {
      Warn(0, "no text font is available, so characters and widths of text are not checked");
    }
    for (int32_t i = 0; i < lines; ++i) CheckLine(i);
    CheckDuplicateLabels();
    FollowTheStory();
    return std::move(diagnostics_);
  }

 private:
  int32_t LineOf(int32_t index) const { return unit_.SourceLines[static_cast<std::size_t>(index)]; }
  const std::string& Stored(int32_t index) const {
    return unit_.Lines[static_cast<std::size_t>(index)];
  }
  void Error(int32_t line, std::string text) {
    diagnostics_.push_back({line, TSeverity::Error, std::move(text)});
  }
  void Warn(int32_t line, std::string text) {
    diagnostics_.push_back({line, TSeverity::Warning, std::move(text)});
  }

  void CheckLine(int32_t index) {
    const std::string& line = Stored(index);
    const int32_t at = LineOf(index);
    TStringDynArray tokens;
    CheckBytes(at, line);
    switch (KindOfLine(line, tokens)) {
      case TLineKind::Goto:
        CheckGoto(at, tokens);
        break;
      case TLineKind::Image:
        if (tokens.size() < 2) {
          Error(at, Utf8(tokens[0]) + " needs a file name, e.g. #image bg.jpg");
        } else {
          CheckFile(at, tokens[1], true);
        }
        break;
      case TLineKind::Midi:
        // A bare #midi is no mistake: it stops the music.
        if (tokens.size() >= 2) CheckFile(at, tokens[1], false);
        break;
      case TLineKind::Text:
        CheckText(at, line);
        break;
      default:
        break;
    }
  }

  void CheckBytes(int32_t at, const std::string& line) {
    if (Utf8(line).find(platform::kUtf8Replacement) == std::string::npos) return;
    for (std::size_t i = 0; i < line.size(); i += platform::CharLength(line, i)) {
      const std::string character = line.substr(i, platform::CharLength(line, i));
      if (Utf8(character).find(platform::kUtf8Replacement) != std::string::npos) {
        Warn(at, "byte 0x" + Hex(static_cast<unsigned char>(line[i]), 2) + " in column " +
                     std::to_string(i + 1) +
                     " is not valid Shift-JIS (code page 932); it shows as a replacement mark");
        return;
      }
    }
  }

  void CheckGoto(int32_t at, const TStringDynArray& tokens) {
    const std::string word = Utf8(tokens[0]);
    if (tokens.size() < 2) {
      Error(at, word + " needs a label to jump to, e.g. #goto @start");
      return;
    }
    const std::string& target = tokens[1];
    if (target.front() != '@') {
      Error(at, word + " " + Utf8(target) +
                    ": the target is no label (labels begin with @); the line is passed over");
      return;
    }
    if (unit_.LabelLines.count(target) != 0) return;
    std::string text = word + " " + Utf8(target) + ": no line holds the label " + Utf8(target);
    // Labels are matched byte for byte; a label in another case is the likely meaning.
    const std::string folded = platform::FoldFileNameCase(target);
    for (const auto& [label, where] : unit_.LabelLines) {
      if (platform::FoldFileNameCase(label) == folded) {
        text += " (line " + std::to_string(LineOf(where.front())) + " has " + Utf8(label) +
                "; labels must match in case)";
        break;
      }
    }
    Error(at, text);
  }

  void CheckFile(int32_t at, const std::string& name, bool picture) {
    const std::string path = "dat\\" + name;
    const std::string shown = ShownName(path);
    const platform::TResolvedName found = platform::ResolveFileName(path);
    if (found.Match == platform::TNameMatch::Missing) {
      Error(at, shown + ": no such file");
      return;
    }
    if (found.Match == platform::TNameMatch::IgnoringCase) {
      Warn(at, shown + " exists only as " + found.Path +
                   ", in other letter case: found here, but not on systems where case matters");
    }
    // Each file is read once; the picture's reading also depends on the name's ending.
    const std::string key = (picture ? "p" : "m") + std::string(1, IsJpegName(name)) + found.Path;
    auto cached = problems_.find(key);
    if (cached == problems_.end()) {
      cached = problems_.emplace(key, picture ? PictureProblem(path) : MidiProblem(path)).first;
    }
    if (!cached->second.empty()) Error(at, cached->second);
  }

  // The engine reads names ending in ".jpg" or ".jpeg", exactly so, as JPEG.
  static char IsJpegName(const std::string& name) {
    const auto ends = [&](const std::string& ending) {
      return name.size() >= ending.size() && name.ends_with(ending);
    };
    return ends(".jpg") || ends(".jpeg") ? 'j' : 'b';
  }

  static std::string PictureProblem(const std::string& path) {
    try {
      TZelkBitmap picture;
      picture.LoadImage(path);
      return "";
    } catch (const std::exception& error) {
      // The loader's message already explains a JPEG ending in other letter case.
      return Utf8(error.what());
    }
  }

  static std::string MidiProblem(const std::string& path) {
    const std::string problem = platform::MidiFileProblem(path);
    return problem.empty() ? "" : ShownName(path) + ": " + problem;
  }

  void CheckText(int32_t at, const std::string& line) {
    if (!font_.Valid()) return;
    const std::string utf8 = Utf8(line);
    std::vector<char32_t> missing;
    for (const char32_t point : CodePoints(utf8)) {
      // Bytes that are not Shift-JIS are reported on their own; control bytes draw nothing.
      if (point == 0xFFFD || point < 0x20) continue;
      if (!font_.HasGlyph(point) &&
          std::find(missing.begin(), missing.end(), point) == missing.end()) {
        missing.push_back(point);
      }
    }
    if (!missing.empty()) {
      std::string list;
      for (const char32_t point : missing) {
        if (!list.empty()) list += ", ";
        list += "U+" + Hex(static_cast<unsigned>(point), 4);
      }
      Warn(at, "the text font cannot draw " + list);
    }
    const int width = font_.TextWidth(utf8);
    if (width > kTextRoom) {
      Warn(at, "this line is " + std::to_string(width) + " pixels wide; the text has room for " +
                   std::to_string(kTextRoom) + ", so the rest is cut off");
    }
  }

  void CheckDuplicateLabels() {
    // Which line each #goto to a label reaches.
    std::map<std::string, std::vector<std::pair<int32_t, int32_t>>> jumps;
    TStringDynArray tokens;
    for (int32_t i = 0; i + 1 < unit_.Count; ++i) {
      if (KindOfLine(Stored(i), tokens) == TLineKind::Goto && tokens.size() >= 2) {
        jumps[tokens[1]].emplace_back(i, JumpTarget(unit_, i, tokens[1]));
      }
    }
    for (const auto& [label, where] : unit_.LabelLines) {
      // The last slot repeats the file's last line; it is no second definition.
      std::vector<int32_t> lines;
      for (const int32_t index : where) {
        if (index + 1 < unit_.Count) lines.push_back(index);
      }
      if (lines.size() < 2) continue;
      std::string text =
          "label " + Utf8(label) + " is defined " + std::to_string(lines.size()) + " times (lines";
      for (std::size_t k = 0; k < lines.size(); ++k) {
        text += (k == 0                  ? " "
                 : k + 1 == lines.size() ? " and "
                                         : ", ") +
                std::to_string(LineOf(lines[k]));
      }
      text += ")";
      const auto found = jumps.find(label);
      if (found == jumps.end()) {
        text += "; no #goto jumps to it";
      } else {
        for (const auto& [from, to] : found->second) {
          text += "; #goto on line " + std::to_string(LineOf(from)) + " reaches line " +
                  std::to_string(LineOf(to));
        }
      }
      Warn(LineOf(lines[1]), text);
    }
  }

  // Follows the story as clicks would, with the engine's rules. With one line a page each
  // line has exactly one successor, so the path is found by reading on from the first line;
  // a click starts reading where the previous one stopped, and when a click starts where an
  // earlier one did, the story has come round and nothing new follows.
  void FollowTheStory() {
    const int32_t count = unit_.Count;
    std::vector<bool> reached(static_cast<std::size_t>(count), false);
    std::vector<bool> started(static_cast<std::size_t>(count) + 1, false);
    std::vector<uint32_t> fetchedIn(static_cast<std::size_t>(count), 0);
    std::vector<bool> loopReported(static_cast<std::size_t>(count), false);
    uint32_t click = 0;
    int shown = 0;
    int32_t position = 0;
    TStringDynArray tokens;
    bool ended = false;
    while (!ended && !started[static_cast<std::size_t>(std::min(position, count))]) {
      started[static_cast<std::size_t>(std::min(position, count))] = true;
      ++click;
      int32_t lastJump = -1;
      for (;;) {
        if (position >= count) {
          ended = true;
          break;
        }
        // Within one click, fetching a line twice after a jump means a loop without text: the
        // player reports the #goto that closed it and reads on after that line.
        uint32_t& mark = fetchedIn[static_cast<std::size_t>(position)];
        if (mark == click && lastJump >= 0) {
          if (!loopReported[static_cast<std::size_t>(lastJump)]) {
            loopReported[static_cast<std::size_t>(lastJump)] = true;
            KindOfLine(Stored(lastJump), tokens);
            Error(LineOf(lastJump), Utf8(tokens[0] + " " + tokens[1]) +
                                        " goes round in a loop that never reaches a line of "
                                        "text; the player reports an error here");
          }
          position = lastJump + 1;
          break;
        }
        mark = click;
        const int32_t index = position++;
        reached[static_cast<std::size_t>(index)] = true;
        if (position >= count - 1) {
          ended = true;  // the file's last line: fetching it ends the story
          break;
        }
        const TLineKind kind = KindOfLine(Stored(index), tokens);
        if (kind == TLineKind::End) {
          ended = true;
          break;
        }
        if (kind == TLineKind::Goto) {
          if (tokens.size() < 2) break;  // an error ends the click; the next reads on
          const int32_t target = JumpTarget(unit_, index, tokens[1]);
          if (target != position) lastJump = index;
          position = target;
          continue;
        }
        if (kind == TLineKind::Text) {
          ++shown;
          break;
        }
      }
    }

    if (shown == 0) Warn(0, "no line of text is ever shown: the story ends before its first");
    ReportUnreached(reached);
  }

  void ReportUnreached(const std::vector<bool>& reached) {
    const int32_t last = unit_.Count - 2;  // the file's last line
    TStringDynArray tokens;
    int32_t runFirst = -1;
    int32_t runLast = -1;
    const auto flush = [&] {
      if (runFirst < 0) return;
      if (runFirst == runLast) {
        Warn(LineOf(runFirst), "this line is never reached: no path through the story leads here");
      } else {
        Warn(LineOf(runFirst), "lines " + std::to_string(LineOf(runFirst)) + " to " +
                                   std::to_string(LineOf(runLast)) +
                                   " are never reached: no path through the story leads here");
      }
      runFirst = runLast = -1;
    };
    for (int32_t i = 0; i <= last; ++i) {
      const TLineKind kind = KindOfLine(Stored(i), tokens);
      if (reached[static_cast<std::size_t>(i)]) {
        flush();
        continue;
      }
      if (kind == TLineKind::Empty || kind == TLineKind::Label) continue;
      if (runFirst < 0) runFirst = i;
      runLast = i;
    }
    flush();

    if (last < 0 || !reached[static_cast<std::size_t>(last)]) return;
    switch (KindOfLine(Stored(last), tokens)) {
      case TLineKind::Text:
        Warn(LineOf(last),
             "the file's last line is never shown: reading it ends the story (add #end after it)");
        break;
      case TLineKind::Goto:
      case TLineKind::Image:
      case TLineKind::Midi:
        Warn(LineOf(last),
             "the file's last line is never carried out: reading it ends the story (add #end "
             "after it)");
        break;
      default:
        break;
    }
  }

  const TScriptUnit& unit_;
  platform::TTextFont font_;
  std::vector<TDiagnostic> diagnostics_;
  std::map<std::string, std::string> problems_;  // per file read: its problem, or ""
};

}  // namespace

TCheckResult CheckStory(std::ostream& out) {
  const std::string story = ShownName(kStoryFile);
  std::vector<TDiagnostic> diagnostics;
  const platform::TResolvedName found = platform::ResolveFileName(kStoryFile);
  if (found.Match == platform::TNameMatch::IgnoringCase) {
    diagnostics.push_back({0, TSeverity::Warning,
                           "exists only as " + found.Path +
                               ", in other letter case: found here, but not on systems where "
                               "case matters"});
  }
  try {
    TZelkScript script(kStoryFile, false);
    if (const TScriptUnit* unit = script.CurrentUnit()) {
      std::vector<TDiagnostic> more = TChecker(*unit).Run();
      diagnostics.insert(diagnostics.end(), more.begin(), more.end());
    } else {
      diagnostics.push_back({0, TSeverity::Error, "no story here: the file does not exist"});
    }
  } catch (const platform::ERangeError&) {
    // The only range error of loading: a story longer than the line store.
    diagnostics.push_back({TScriptUnit::Slots, TSeverity::Error,
                           "the story is too long: a story may have at most " +
                               std::to_string(TScriptUnit::Slots - 1) +
                               " lines, and the player does not start"});
  } catch (const std::exception& error) {
    diagnostics.push_back({0, TSeverity::Error, Utf8(error.what())});
  }

  std::stable_sort(diagnostics.begin(), diagnostics.end(),
                   [](const TDiagnostic& a, const TDiagnostic& b) { return a.Line < b.Line; });
  TCheckResult result;
  for (const TDiagnostic& d : diagnostics) {
    out << story;
    if (d.Line > 0) out << ':' << d.Line;
    if (d.Severity == TSeverity::Error) {
      out << ": error: ";
      ++result.Errors;
    } else {
      out << ": warning: ";
      ++result.Warnings;
    }
    out << d.Text << '\n';
  }
  const auto count = [](int n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  if (result.Errors + result.Warnings == 0) {
    out << story << ": no problems found\n";
  } else {
    out << count(result.Errors, "error") << ", " << count(result.Warnings, "warning") << '\n';
  }
  return result;
}
