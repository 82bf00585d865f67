// A small program on the window shell, driven by the end-to-end tests and the CPU measurement:
// a 320 x 280 window laid out like the story player's (a dark grey panel under a paint box that
// covers it), the frame loop with one 50 ms procedure, and its events printed on stdout.
//
//   shell_probe               paints nothing until the first click, then a colour per click
//   shell_probe --bench       paints a full frame on every call, as the story player does
//   shell_probe --fail-startup  raises an error in the window's constructor
// Pressing E raises an error inside a key handler.

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "platform/Application.h"
#include "platform/Forms.h"
#include "platform/Input.h"
#include "shell/ZelkForm.h"
#include "shell/ZelkTimer.h"

namespace {

using platform::TObject;

bool BenchMode = false;
bool FailStartup = false;

void Say(const char* text, int number) {
  std::printf("%s %d\n", text, number);
  std::fflush(stdout);
}

class TProbeForm : public TZelkForm {
 public:
  explicit TProbeForm(platform::TComponent* owner)
      : TZelkForm(owner, TDesignSize{320, 280}, StoredDesign()), PageMain(this), PntMain(this) {
    if (FailStartup) throw std::runtime_error("probe start-up failure");
    SetCaption("morvi-probe");
    SetBorderStyle(platform::TBorderStyle::bsSingle);
    BorderIcons = platform::biSystemMenu | platform::biMinimize;
    Timer = std::make_unique<TZelkTimer>(*this);
    Timer->AddTimer(Frame, 50, "");
    PageMain.SetParent(this);
    PageMain.Color = 0x444444;
    PageMain.BevelOuter = platform::TBevelCut::bvNone;
    FitPanel(PageMain, true);
    PntMain.SetParent(&PageMain);
    PntMain.SetBounds(0, 0, PageMain.Width(), PageMain.Height());
    PntMain.OnClick = [this](TObject*) { Say("click", ++Clicks); };
    PntMain.OnDblClick = [this](TObject*) { Say("dblclick", ++Clicks); };
    OnKeyDown = [](TObject*, uint16_t& key) {
      if (key == 'E') throw std::runtime_error("probe handler failure");
      Say("key", key);
    };
    Picture.SetSize(320, 280);
  }

  static platform::TFormDesign StoredDesign() {
    // Deliberately not what the window ends up with: the design size and centring replace it.
    platform::TFormDesign design;
    design.Left = 198;
    design.Top = 178;
    design.ClientWidth = 737;
    design.ClientHeight = 510;
    return design;
  }

  static void Frame();

  platform::TPanel PageMain;
  platform::TPaintBox PntMain;
  std::unique_ptr<TZelkTimer> Timer;
  platform::TBitmap Picture;
  int Clicks = 0;
  int Frames = 0;
};

TProbeForm* FormMain = nullptr;

void TProbeForm::Frame() {
  TProbeForm& form = *FormMain;
  ++form.Frames;
  if (form.Frames == 1) Say("frame", 1);
  if (!BenchMode && form.Clicks == 0) return;
  // One colour per click (or per frame when measuring), blue green red as stored.
  const int step = BenchMode ? form.Frames : form.Clicks;
  const uint8_t colour[3] = {static_cast<uint8_t>(step * 40), static_cast<uint8_t>(0x20),
                             static_cast<uint8_t>(0xFF - step * 10)};
  for (int y = 0; y < form.Picture.Height(); ++y) {
    uint8_t* p = form.Picture.ScanLine(y);
    for (int x = 0; x < form.Picture.Width(); ++x, p += 3) std::memcpy(p, colour, 3);
  }
  form.PntMain.Canvas().CopyFrom(0, 0, 320, 280, form.Picture.Canvas(), 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    BenchMode = BenchMode || std::strcmp(argv[i], "--bench") == 0;
    FailStartup = FailStartup || std::strcmp(argv[i], "--fail-startup") == 0;
  }
  platform::Application.Initialize();
  platform::Application.Title = "probe-app";
  platform::Application.CreateForm(FormMain);
  const int status = platform::Application.Run();
  Say("end", status);
  return status;
}
