#include "app/UnitCommon.h"

#include <cstdio>

#include "graphics/UnitBmp.h"
#include "platform/Cp932.h"
#include "platform/Random.h"

TZelkMidi* StoryMidi = nullptr;
TZelkTimer* StoryTimer = nullptr;
TZelkScript* StoryScript = nullptr;
bool TraceText = false;

void InitCommon(TZelkForm& Form) {
  platform::Randomize();
  StoryMidi = new TZelkMidi;
  StoryTimer = new TZelkTimer(Form);
  StoryScript = new TZelkScript("dat\\story.txt", false);
  StoryScript->SetLinesPerPage(1);
  StoryScript->SetPageHandler(TraceText ? OnTracedTextPage : OnTextPage);
  StoryScript->AddCommand("#midi", OnMidiCommand);
  StoryScript->AddCommand("#image", OnImageCommand);
  // The bitmaps exist before the first step, which may already load a picture into them.
  CreateBitmaps();
  StoryTimer->AddTimer(RenderFrame, 50, "");
  StoryScript->Step();
}

void FreeCommon() {
  // Reset as they go, so that a start-up that failed halfway frees exactly what it made.
  delete StoryMidi;
  StoryMidi = nullptr;
  delete StoryTimer;
  StoryTimer = nullptr;
  delete StoryScript;
  StoryScript = nullptr;
  if (FrameBitmap != nullptr) FreeBitmaps();
  FrameBitmap = SceneBitmap = ImageBitmap = nullptr;
}

void OnMidiCommand(TStringDynArray Tokens) {
  if (Tokens.size() > 1) {
    StoryMidi->Play("dat\\" + Tokens[1], true);
  } else {
    StoryMidi->Stop();
  }
}

void OnTracedTextPage(TStringDynArray Page) {
  // The empty line of the step that ends the story is no line of the story.
  if (!Page.empty() && !Page[0].empty()) {
    const std::string line = platform::Cp932ToUtf8(Page[0]) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
  }
  OnTextPage(std::move(Page));
}
