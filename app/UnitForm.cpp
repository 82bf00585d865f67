#include "app/UnitForm.h"

#include "app/AppIcon.h"
#include "app/UnitCommon.h"
#include "graphics/UnitBmp.h"
#include "platform/Input.h"

TFormMain* FormMain = nullptr;

namespace {

// The form as it was laid out in the designer. The constructor replaces its size and position,
// and the panel's and paint box's bounds; what stays is caption, border and colours.
platform::TFormDesign MainDesign() {
  platform::TFormDesign design;
  design.Left = 198;
  design.Top = 178;
  design.ClientWidth = 737;
  design.ClientHeight = 510;
  design.Caption = "morvi";
  design.BorderStyle = platform::TBorderStyle::bsSingle;
  design.BorderIcons = platform::biSystemMenu | platform::biMinimize;
  return design;
}

constexpr platform::TColor kPanelGrey = 0x444444;

}  // namespace

TFormMain::TFormMain(platform::TComponent* owner)
    : TZelkForm(owner, TDesignSize{320, 280}, MainDesign()), PntMain(this), PageMain(this) {
  PageMain.SetParent(this);
  PageMain.BevelOuter = platform::TBevelCut::bvNone;
  PageMain.Color = kPanelGrey;
  PageMain.SetVisible(false);
  PntMain.SetParent(&PageMain);
  PntMain.SetBounds(0, 0, 105, 105);
  PntMain.OnClick = [this](platform::TObject* sender) { PntMainClick(sender); };
  PntMain.OnDblClick = [this](platform::TObject* sender) { PntMainClick(sender); };
  // Key messages go to the focused window, the form itself; Alt and F10 never get here, as the
  // base window swallows them first.
  OnKeyDown = [this](platform::TObject* sender, uint16_t& key) { FormMainKeyDown(sender, key); };
  BorderIcons = platform::biSystemMenu | platform::biMinimize;
  SetIcon(*MakeAppIcon());
  FramePaintBox = &PntMain;

  try {
    InitCommon(*this);
  } catch (...) {
    // A window that fails to be built is destroyed without its destructor: free here what
    // start-up made so far.
    FreeCommon();
    FramePaintBox = nullptr;
    throw;
  }
  FitPanel(PageMain, true);
  PntMain.SetBounds(0, 0, PageMain.Width(), PageMain.Height());
}

TFormMain::~TFormMain() {
  FreeCommon();
  FramePaintBox = nullptr;
}

void TFormMain::PntMainClick(platform::TObject*) {
  StoryScript->Step();
}

void TFormMain::FormMainKeyDown(platform::TObject* Sender, uint16_t& Key) {
  // Space and Enter (the keypad's Enter gives the same code) read on like a click.
  if (Key == platform::VK_SPACE || Key == platform::VK_RETURN) PntMainClick(Sender);
}
