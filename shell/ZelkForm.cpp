#include "shell/ZelkForm.h"

#include "platform/Input.h"

TZelkForm::TZelkForm(platform::TComponent* owner, TDesignSize size,
                     const platform::TFormDesign& design)
    : platform::TForm(owner, design) {
  SetDesignSize(size.Width, size.Height);
  // The stored design's size and position never survive: the design size is applied, and the
  // window is centred by its outer size, frame included.
  SetClientWidth(designWidth_);
  SetClientHeight(designHeight_);
  SetLeft(CentredPosition(platform::Screen.Width(), Width()));
  SetTop(CentredPosition(platform::Screen.Height(), Height()));
}

TZelkForm::~TZelkForm() = default;

void TZelkForm::SetDesignSize(int32_t width, int32_t height) {
  designWidth_ = width;
  designHeight_ = height;
}

void TZelkForm::StartLoop(TLoopProc proc) {
  loopProc_ = proc;
  platform::PostMessage(this, WM_RUNLOOP, 0, 0);
}

void TZelkForm::WndProc(platform::TMessage& message) {
  if (message.Msg == WM_RUNLOOP) {
    if (loopProc_ != nullptr) loopProc_();
    return;
  }
  platform::TForm::WndProc(message);
}

bool TZelkForm::WantChildKey(platform::TControl*, platform::TMessage& message) {
  return message.WParam == platform::VK_MENU || message.WParam == platform::VK_F10;
}

void TZelkForm::FitPanel(platform::TPanel& panel, bool visible) {
  panel.SetLeft(0);
  panel.SetTop(0);
  panel.SetWidth(ClientWidth());
  panel.SetHeight(ClientHeight());
  panel.SetVisible(visible);
}

int32_t CentredPosition(int32_t screen, int32_t window) {
  // In 64 bits, so that no pair of 32-bit sizes can overflow the difference.
  return static_cast<int32_t>((int64_t{screen} - int64_t{window}) / 2);
}
