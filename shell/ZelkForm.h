#pragma once
// The base class of the program's window: a client area of a fixed size, centred on the primary
// screen; the loop message WM_RUNLOOP, whose handling runs the program's main loop; Alt and F10
// swallowed before they can open a menu; and FitPanel.

#include <cstdint>

#include "platform/Forms.h"

// Posted by StartLoop; its handler ignores wParam and lParam.
inline constexpr uint32_t WM_RUNLOOP = platform::WM_USER + 10;  // 1034

// A parameterless procedure without an object, as the loop runs it.
using TLoopProc = void (*)();

// The client size a subclass wants, handed to the constructor (the form is built from its
// stored design first, so this is how the size gets there before the window is centred).
struct TDesignSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

class TZelkForm : public platform::TForm {
 public:
  // Builds the form from Design, then gives it a client area of Size and centres the window
  // on the primary screen. A subclass that names no size gets a 0 x 0 client area.
  explicit TZelkForm(platform::TComponent* owner, TDesignSize size = {},
                     const platform::TFormDesign& design = {});
  ~TZelkForm() override;

  // Stores the design size and does nothing else: after construction nothing on screen changes.
  void SetDesignSize(int32_t width, int32_t height);
  int32_t DesignWidth() const { return designWidth_; }
  int32_t DesignHeight() const { return designHeight_; }

  // Stores Proc and posts WM_RUNLOOP to this window; Proc runs when the message is dispatched.
  void StartLoop(TLoopProc proc);
  TLoopProc LoopProc() const { return loopProc_; }

  // WM_RUNLOOP runs the loop procedure and returns when it returns (a WM_RUNLOOP that finds no
  // procedure stored is ignored); every other message takes the usual way.
  void WndProc(platform::TMessage& message) override;

  // Swallows every key message whose wParam is Alt (18) or F10 (121), whatever the message
  // and whichever the control, so that neither key can open the window's menu.
  bool WantChildKey(platform::TControl* child, platform::TMessage& message) override;

  // Makes Panel cover the client area as it is now, and shows or hides it.
  void FitPanel(platform::TPanel& panel, bool visible);

 private:
  int32_t designWidth_ = 0;
  int32_t designHeight_ = 0;
  TLoopProc loopProc_ = nullptr;
};

// Where a window of outer size Window is centred on a screen of size Screen: the difference
// halved and truncated toward zero, so a window 3 pixels too wide goes to -1, not -2.
int32_t CentredPosition(int32_t screen, int32_t window);
