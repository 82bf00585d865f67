// Story bytes -> loading (plain or scrambled) -> up to a few hundred steps.
//
// Input: byte 0 chooses how the story is read (bit 0: scrambled; bits 1-2: lines per page, 1 to
// 4; the program itself reads plain with one line per page), the rest is the story file. Errors
// a step raises are the engine's way of reporting a bad story and are expected; what counts as a
// finding is a crash, a hang, a leak, an error of a kind nobody should throw, or a broken rule
// of page delivery.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCommon.h"
#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/HeadlessBackend.h"
#include "script/ZelkScript.h"

namespace {

constexpr int kMaxSteps = 300;

struct TRecord {
  int pages = 0;
  TStringDynArray lastPage;
  int commands = 0;
};
TRecord Record;

void RecordPage(TStringDynArray page) {
  ++Record.pages;
  Record.lastPage = std::move(page);
}

// Stands in for the program's picture and music handlers, which take their file name from the
// second token and so fail on a command without one.
void RecordCommand(TStringDynArray tokens) {
  FUZZ_CHECK(!tokens.empty());
  ++Record.commands;
  if (tokens.size() < 2) throw platform::ERangeError("command without argument");
}

platform::THeadlessBackend& Backend() {
  static platform::THeadlessBackend& backend = platform::UseHeadlessBackend();
  return backend;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  platform::THeadlessBackend& backend = Backend();
  const bool scrambled = (data[0] & 1) != 0;
  const int32_t linesPerPage = ((data[0] >> 1) & 3) + 1;
  const std::string path = fuzz::TScratchFolder::Write("story.txt", data + 1, size - 1);

  Record = TRecord{};
  backend.queue.clear();
  backend.quitRequests = 0;
  try {
    TZelkScript script(path, scrambled);
    script.SetLinesPerPage(linesPerPage);
    script.SetPageHandler(RecordPage);
    script.AddCommand("#midi", RecordCommand);
    script.AddCommand("#image", RecordCommand);

    for (int step = 0; step < kMaxSteps && backend.quitRequests == 0; ++step) {
      const int pagesBefore = Record.pages;
      try {
        script.Step();
      } catch (const platform::ERangeError&) {
        // A bad line of the story (a jump without target, a circle of jumps, a command without
        // argument): the step delivers nothing and the next one goes on after it. Any other
        // kind of error escapes and counts as a finding.
        FUZZ_CHECK(Record.pages == pagesBefore);
        continue;
      }
      FUZZ_CHECK(Record.pages == pagesBefore + 1);
      // A page holds at most its text lines, plus one empty element when the story ended.
      const std::size_t limit =
          static_cast<std::size_t>(linesPerPage) + (backend.quitRequests > 0 ? 1u : 0u);
      FUZZ_CHECK(Record.lastPage.size() <= limit);
      if (backend.quitRequests > 0) {
        FUZZ_CHECK(!Record.lastPage.empty() && Record.lastPage.back().empty());
      }
    }
    if (backend.quitRequests > 0) {
      // Once ended, the story stays ended: a further step delivers an empty page and fetches
      // nothing.
      FUZZ_CHECK(backend.quitRequests == 1);
      script.Step();
      FUZZ_CHECK(Record.lastPage.empty());
      FUZZ_CHECK(backend.quitRequests == 1);
    }
  } catch (const platform::ERangeError&) {
    // More than 9999 lines.
  } catch (const platform::EInOutError&) {
    // Unreadable story file.
  }
  backend.queue.clear();
  return 0;
}
