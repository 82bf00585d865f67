// Stepping through stories: golden traces of what the engine hands out, step by step.

#include <gtest/gtest.h>

#include <filesystem>

#include <functional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Errors.h"
#include "platform/HeadlessBackend.h"
#include "script/MyCrypt.h"
#include "script/tests/ZelkScriptProbe.h"

namespace {

// What the handlers saw, in order. Handlers are plain procedures, so the log is file-level.
std::vector<std::string> gLog;
platform::THeadlessBackend* gBackend = nullptr;
int gQuitRequestsSeen = 0;

// Logs a termination request at the point where it was made, relative to the handler calls.
void NoteTermination() {
  while (gQuitRequestsSeen < gBackend->quitRequests) {
    gLog.push_back("terminate");
    ++gQuitRequestsSeen;
  }
}

std::string Quote(const TStringDynArray& items) {
  std::string text = "[";
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", \"" : "\"") + items[i] + "\"";
  return text + "]";
}

void RecordPage(TStringDynArray page) {
  NoteTermination();
  gLog.push_back("page " + Quote(page));
}
void RecordCommand(TStringDynArray tokens) {
  NoteTermination();
  gLog.push_back("command " + Quote(tokens));
}
void RecordOther(TStringDynArray tokens) {
  gLog.push_back("other " + Quote(tokens));
}
void RecordLine(std::string line) {
  NoteTermination();
  gLog.push_back("line \"" + line + "\"");
}
void RecordClear() {
  gLog.push_back("clear");
}
void ThrowOnce(TStringDynArray tokens) {
  static bool thrown = false;
  gLog.push_back("boom " + Quote(tokens));
  if (!std::exchange(thrown, true)) throw std::runtime_error("the handler failed");
}

struct TTraceCase {
  const char* name;
  std::string story;  // the lines of dat/story.txt, written with LF ends
  int32_t linesPerPage;
  int steps;
  const char* trace;  // one entry a line; "-- step N" opens each step
};

void PrintTo(const TTraceCase& c, std::ostream* os) {
  *os << c.name;
}

class StepTest : public testing::Test {
 protected:
  void SetUp() override {
    gBackend = &platform::UseHeadlessBackend();
    gQuitRequestsSeen = 0;
    gLog.clear();
  }

  // Installs the page handler and the commands the way the program does.
  static void InstallAsTheProgram(TZelkScript& script) {
    script.SetPageHandler(RecordPage);
    script.AddCommand("#midi", RecordCommand);
    script.AddCommand("#image", RecordCommand);
  }

  // Writes the story, creates the engine on it as the program does, steps it and returns the
  // trace.
  std::string Run(const std::string& story, int32_t linesPerPage, int steps, bool scrambled = false,
                  const std::function<void(TZelkScript&)>& install = InstallAsTheProgram) {
    std::string file;
    std::istringstream lines(story);
    for (std::string line; std::getline(lines, line);) {
      file += (scrambled ? Crypt(line) : line) + "\n";
    }
    TStoryFolder::Write("dat/story.txt", file);
    TZelkScript script("dat\\story.txt", scrambled);
    script.SetLinesPerPage(linesPerPage);
    install(script);
    return Steps(script, steps);
  }

  static std::string Steps(TZelkScript& script, int steps) {
    for (int i = 1; i <= steps; ++i) {
      gLog.push_back("-- step " + std::to_string(i));
      try {
        script.Step();
      } catch (const std::exception& e) {
        gLog.push_back(std::string("error ") + e.what());
      }
      NoteTermination();
    }
    std::string trace;
    for (const auto& entry : gLog) trace += entry + "\n";
    return trace;
  }

  TStoryFolder folder;
};

const TTraceCase kCases[] = {
    {"NoLinesPerPageFetchesNothing", "Hello\nWorld", 0, 2,
     "-- step 1\npage []\n-- step 2\npage []\n"},
    {"LastLineIsNeverShown", "Hello\nWorld", 1, 3,
     "-- step 1\npage [\"Hello\"]\n"
     "-- step 2\nterminate\npage [\"\"]\n"
     "-- step 3\npage []\n"},
    {"EmptyStoryEndsAtOnce", "", 1, 2, "-- step 1\nterminate\npage [\"\"]\n-- step 2\npage []\n"},
    {"PagesEndAtEmptyLines", "A\nB\n\nC\nD\nE\nF\nG\nH", 3, 4,
     "-- step 1\npage [\"A\", \"B\"]\n"
     "-- step 2\npage [\"C\", \"D\", \"E\"]\n"
     "-- step 3\nterminate\npage [\"F\", \"G\", \"\"]\n"
     "-- step 4\npage []\n"},
    {"EmptyAndLabelLinesAreSkipped", "A\n\n\n@x\nB\nC", 1, 3,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"B\"]\n-- step 3\nterminate\npage [\"\"]\n"},
    {"BlankLineIsText", "   \nA\nend", 1, 2,
     "-- step 1\npage [\"   \"]\n-- step 2\npage [\"A\"]\n"},
    {"GotoToTheNextLineGoesOnThere", "#goto @a\n@a\nX\nend", 1, 1, "-- step 1\npage [\"X\"]\n"},
    {"GotoSkipsTheNextLineWhenTheLabelStandsTwice", "#goto @a\n@a\nX\n@a\nY\nend", 1, 1,
     "-- step 1\npage [\"Y\"]\n"},
    {"UpperOfTwoLabelsAboveWins", "@a\nA\n@a\nB\n#goto @a\nC\nend", 1, 3,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"B\"]\n-- step 3\npage [\"A\"]\n"},
    {"LabelBelowBeatsLabelAbove", "@a\nA\n#goto @a\nB\n@a\nC\nend", 1, 2,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"C\"]\n"},
    {"LabelsMatchByteForByteCommandsInAnyCase",
     "#goto @Start\nA\n@start\nB\n#GOTO @x\nC\n@x\nD\n#End\nE\nend", 1, 5,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"B\"]\n-- step 3\npage [\"D\"]\n"
     "-- step 4\nterminate\npage [\"\"]\n-- step 5\npage []\n"},
    {"GotoWithoutMarkDoesNotJump", "#goto x\nA\nx\nB\nend", 1, 2,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"x\"]\n"},
    {"CommandsRunBeforeTheNextPage",
     "A\n#image bg.jpg\nB\n  #IMAGE\tbg.jpg  // x\n#midi\n#Midi song.mid extra\nC\n#foo bar\nend",
     1, 5,
     "-- step 1\npage [\"A\"]\n"
     "-- step 2\ncommand [\"#image\", \"bg.jpg\"]\npage [\"B\"]\n"
     "-- step 3\ncommand [\"#IMAGE\", \"bg.jpg\"]\ncommand [\"#midi\"]\n"
     "command [\"#Midi\", \"song.mid\", \"extra\"]\npage [\"C\"]\n"
     "-- step 4\npage [\"#foo bar\"]\n"
     "-- step 5\nterminate\npage [\"\"]\n"},
    {"FullWidthCommandWordIsText", "#\x82\x89\x82\x8D\x82\x81\x82\x87\x82\x85 x\nend", 1, 1,
     "-- step 1\npage [\"#\x82\x89\x82\x8D\x82\x81\x82\x87\x82\x85 x\"]\n"},
    {"GotoOnTheLastLineIsNeverCarriedOut", "@a\nA\n#goto @a", 1, 2,
     "-- step 1\npage [\"A\"]\n-- step 2\nterminate\npage [\"\"]\n"},
    {"JumpBackToATextLineIsNoLoop", "@a\nA\n#goto @a\nend", 1, 3,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"A\"]\n-- step 3\npage [\"A\"]\n"},
    // The label line is fetched again on the second line of the page: that ends the page.
    {"JumpBackWithinAPageIsNoLoop", "@a\nA\n#goto @a\nend", 2, 2,
     "-- step 1\npage [\"A\"]\n-- step 2\npage [\"A\"]\n"},
    {"GotoWithoutLabelFailsAndIsUsedUp", "A\n#goto\nB\nC\nend", 1, 3,
     "-- step 1\npage [\"A\"]\n"
     "-- step 2\nerror dat/story.txt:2: #goto needs a label to jump to, e.g. #goto @start\n"
     "-- step 3\npage [\"B\"]\n"},
    {"GotoToItsOwnLabelLoops", "@a\n#goto @a\nA\nend", 1, 2,
     "-- step 1\nerror dat/story.txt:2: #goto @a loops without reaching a line of text\n"
     "-- step 2\npage [\"A\"]\n"},
    {"CommandsOnALoopRunOnce", "@a\n#image x.bmp\n#GoTo   @a\nA\nend", 1, 2,
     "-- step 1\ncommand [\"#image\", \"x.bmp\"]\n"
     "error dat/story.txt:3: #GoTo @a loops without reaching a line of text\n"
     "-- step 2\npage [\"A\"]\n"},
    {"TwoLabelsJumpingToEachOtherLoop", "@a\n#goto @b\nX\n@b\n#goto @a\nY\nend", 1, 2,
     "-- step 1\nerror dat/story.txt:5: #goto @a loops without reaching a line of text\n"
     "-- step 2\npage [\"Y\"]\n"},
    {"LoopClosedByReadingOnIsFound", "#goto @b\n@a\n#image a.bmp\n@b\n#goto @a\nZ\nend", 1, 2,
     "-- step 1\ncommand [\"#image\", \"a.bmp\"]\n"
     "error dat/story.txt:5: #goto @a loops without reaching a line of text\n"
     "-- step 2\npage [\"Z\"]\n"},
};

class StepTraceTest : public StepTest, public testing::WithParamInterface<TTraceCase> {};

TEST_P(StepTraceTest, MatchesTheGoldenTrace) {
  const TTraceCase& c = GetParam();
  EXPECT_EQ(Run(c.story, c.linesPerPage, c.steps), c.trace);
}

TEST_P(StepTraceTest, ScrambledStoryStepsTheSame) {
  const TTraceCase& c = GetParam();
  EXPECT_EQ(Run(c.story, c.linesPerPage, c.steps, true), c.trace);
}

INSTANTIATE_TEST_SUITE_P(Stories, StepTraceTest, testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StepTest, MissingStoryFailsEveryStep) {
  TZelkScript script("dat\\story.txt", false);
  script.SetLinesPerPage(1);
  script.SetPageHandler(RecordPage);
  const std::string error = "error dat/story.txt: the story file was not found in " +
                            std::filesystem::current_path().string() + "\n";
  EXPECT_EQ(Steps(script, 2), "-- step 1\n" + error + "-- step 2\n" + error);
  EXPECT_EQ(gBackend->beeps, 1);
  EXPECT_THROW(script.Step(), platform::EInOutError);
}

TEST_F(StepTest, FirstRegistrationWinsAndEndAndGotoStayBuiltIn) {
  const auto setup = [](TZelkScript& script) {
    InstallAsTheProgram(script);
    script.AddCommand("#image", RecordOther);
    script.AddCommand("#END", RecordOther);
    script.AddCommand("#goto", RecordOther);
  };
  EXPECT_EQ(Run("#image a\n#goto @x\nB\n@x\nA\n#end\nB\nend", 1, 2, false, setup),
            "-- step 1\ncommand [\"#image\", \"a\"]\npage [\"A\"]\n"
            "-- step 2\nterminate\npage [\"\"]\n");
}

TEST_F(StepTest, HandlerErrorKeepsThePageCount) {
  const auto setup = [](TZelkScript& script) {
    InstallAsTheProgram(script);
    script.AddCommand("#boom", ThrowOnce);
  };
  // The failed step had taken A onto a page of two, so the next step has room for B only.
  EXPECT_EQ(Run("A\n#boom now\nB\nC\nend", 2, 3, false, setup),
            "-- step 1\nboom [\"#boom\", \"now\"]\nerror the handler failed\n"
            "-- step 2\npage [\"B\"]\n"
            "-- step 3\nterminate\npage [\"C\", \"\"]\n");
}

TEST_F(StepTest, LineDeliveryClearsAtEachNewPage) {
  // Line delivery, which nothing outside the tests installs.
  const auto setup = [](TZelkScript& script) {
    TZelkScriptProbe::UseLineDelivery(script, RecordLine, RecordClear);
  };
  EXPECT_EQ(Run("A\n\nB\nC\nend", 1, 5, false, setup),
            "-- step 1\nline \"A\"\n"
            "-- step 2\nclear\nline \"B\"\n"
            "-- step 3\nclear\nline \"C\"\n"
            "-- step 4\nclear\nterminate\nline \"\"\n"
            "-- step 5\nline \"\"\n");
}

TEST_F(StepTest, LineDeliveryWithoutRoomForALineReturns) {
  TStoryFolder::Write("dat/story.txt", "A\nB\n");
  TZelkScript script("dat\\story.txt", false);
  TZelkScriptProbe::UseLineDelivery(script, RecordLine, RecordClear);
  EXPECT_EQ(Steps(script, 2), "-- step 1\nline \"\"\n-- step 2\nline \"\"\n");
}

TEST_F(StepTest, LongestStoryStepsToItsEnd) {
  std::string story;
  for (int i = 1; i <= 9999; ++i) story += "line " + std::to_string(i) + "\n";
  Run(story, 1, 9999);
  ASSERT_EQ(gLog.size(), 9999u * 2 + 1);  // a step header and a page each, one termination
  EXPECT_EQ(gLog[1], "page [\"line 1\"]");
  EXPECT_EQ(gLog[2 * 9998 - 1], "page [\"line 9998\"]");
  EXPECT_EQ(gLog[2 * 9998], "-- step 9999");
  EXPECT_EQ(gLog[2 * 9998 + 1], "terminate");
  EXPECT_EQ(gLog.back(), "page [\"\"]");
}

}  // namespace
