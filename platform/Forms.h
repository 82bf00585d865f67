#pragma once
// Forms and the controls on them: the part of a visual component library the story player uses.
//
// A form owns one native window (from the backend) and composes its client area itself: its own
// colour, then each visible control in order, windowed controls above graphic ones. The picture
// is presented when the application repaints its forms, which happens at the end of every
// message pass and before every wait for messages, so a block copy onto a paint box reaches the
// screen before the GUI thread next goes idle. An exposed window is repainted from the same
// surfaces, so it never shows stale content.
//
// Message handling is the same on every backend: the form routes mouse messages to the control
// under the pointer (or the one that took the press), raises OnClick and OnDblClick, and asks
// WantChildKey before any key message reaches a key handler.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Application.h"
#include "platform/Bitmap.h"
#include "platform/Classes.h"

namespace platform {

inline constexpr TColor clBtnFace = 0xF0F0F0;
inline constexpr TColor clBtnHighlight = 0xFFFFFF;
inline constexpr TColor clBtnShadow = 0xA0A0A0;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable };
enum class TBevelCut { bvNone, bvLowered, bvRaised };

// Title-bar buttons, one bit each.
using TBorderIcons = uint8_t;
inline constexpr TBorderIcons biSystemMenu = 1;
inline constexpr TBorderIcons biMinimize = 2;
inline constexpr TBorderIcons biMaximize = 4;

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
};
TRect Intersect(const TRect& a, const TRect& b);

// Key events: Key is the virtual-key code, Char the character code.
using TKeyEvent = std::function<void(TObject* sender, uint16_t& key)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

class TWinControl;
class TForm;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  virtual int Width() const { return width_; }
  virtual int Height() const { return height_; }
  void SetLeft(int left) { SetBounds(left, top_, Width(), Height()); }
  void SetTop(int top) { SetBounds(left_, top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(left_, top_, width, Height()); }
  void SetHeight(int height) { SetBounds(left_, top_, Width(), height); }
  // Position within the parent's client area, and size; negative sizes count as 0.
  virtual void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);

  TWinControl* Parent() const { return parent_; }
  // Moves the control onto Parent (null: onto nothing), above its existing controls.
  void SetParent(TWinControl* parent);
  // The form this control is on; a form is on itself.
  TForm* ParentForm();
  // This control's top-left in its form's client coordinates.
  void ClientOrigin(int& x, int& y) const;

  // OnClick: the left button was pressed and released over the control. OnDblClick: the second
  // press of a double-click, instead of a press; its release raises nothing.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // A mouse message with the position in this control's own coordinates.
  virtual void MouseMessage(uint32_t msg, int x, int y);

  // Asks the form to repaint this control.
  void Invalidate();

  // Draws the control onto Image, which is the form's client area; (X, Y) is the control's
  // top-left there and Clip the part of Image it may touch.
  virtual void PaintTo(TBitmap& image, int x, int y, const TRect& clip);

  virtual bool IsWindowed() const { return false; }
  // True when painting the control covers every pixel of its bounds.
  virtual bool Opaque() const { return false; }

 protected:
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;

 private:
  TWinControl* parent_ = nullptr;
  bool clicked_ = false;  // a press began here and has not been released
};

class TWinControl : public TControl, public TWindow {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  TColor Color = clBtnFace;

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  // Key messages (256 to 264) are offered to the form's WantChildKey first; when it wants them
  // they go no further.
  void WndProc(TMessage& message) override;

  const std::vector<TControl*>& Controls() const { return controls_; }
  // The topmost visible control containing (X, Y) of this control's client area, looking into
  // windowed controls; this control itself when none does.
  TControl* ControlAtPos(int x, int y);

  void PaintTo(TBitmap& image, int x, int y, const TRect& clip) override;
  bool IsWindowed() const override { return true; }
  bool Opaque() const override { return true; }

 protected:
  virtual void PaintBackground(TBitmap& image, int x, int y, const TRect& clip);

 private:
  friend class TControl;
  std::vector<TControl*> controls_;  // in paint order: first painted first
};

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);

  TBevelCut BevelOuter = TBevelCut::bvRaised;

 protected:
  void PaintBackground(TBitmap& image, int x, int y, const TRect& clip) override;
};

// A control that shows its surface. Nothing of it is shown until something has been drawn on
// it: where nothing has been, its parent's background shows through.
class TPaintBox : public TControl {
 public:
  explicit TPaintBox(TComponent* owner);

  TCanvas& Canvas() { return surface_.Canvas(); }
  const TCanvas& Canvas() const { return surface_.Canvas(); }

  void SetBounds(int left, int top, int width, int height) override;
  void PaintTo(TBitmap& image, int x, int y, const TRect& clip) override;
  // Once every pixel has been drawn on, the parent's background no longer shows anywhere.
  bool Opaque() const override {
    return drawnCount_ == static_cast<int64_t>(surface_.Width()) * surface_.Height();
  }

 private:
  void Drawn(int x, int y, int width, int height);

  TBitmap surface_;
  std::vector<uint8_t> drawn_;  // one flag per pixel: something has been drawn there
  int64_t drawnCount_ = 0;
};

// The stored design a form is built from before its constructor adjusts it.
struct TFormDesign {
  int Left = 0;
  int Top = 0;
  int ClientWidth = 0;
  int ClientHeight = 0;
  std::string Caption;
  TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
  TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
  TColor Color = clBtnFace;
};

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner, const TFormDesign& design = {});
  ~TForm() override;

  // Outer size: the client area plus the frame.
  int Width() const override;
  int Height() const override;
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  // Resizes the window so that its client area has this size.
  void SetClientWidth(int width);
  void SetClientHeight(int height);
  // Left and Top are the outer top-left corner on the screen; Width and Height the outer size.
  void SetBounds(int left, int top, int width, int height) override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  // Kept for the record: SDL offers no per-button control, and a window that cannot be resized
  // gets no maximise button from the usual window managers.
  TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
  void SetIcon(const TBitmap& icon);

  void SetVisible(bool visible) override;
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // The close request (close button, window manager): the main form terminates the
  // application; any other form hides.
  void Close();

  // Asked for every key message that reaches this form or a windowed control on it; true
  // swallows the message. The default wants nothing.
  virtual bool WantChildKey(TControl* child, TMessage& message);

  void WndProc(TMessage& message) override;

  // Presents the client area when something on it changed since it was last presented.
  void Update();
  void InvalidateForm() { dirty_ = true; }
  bool NeedsUpdate() const { return dirty_ && Visible(); }

  TNativeWindow& NativeWindow() { return *native_; }

  // Bookkeeping for controls: a control that goes away must not keep the mouse.
  void ReleaseMouseOf(TControl* control);

 protected:
  void PaintBackground(TBitmap& image, int x, int y, const TRect& clip) override;

 private:
  void RouteMouse(TMessage& message);
  void ApplyBounds();

  std::unique_ptr<TNativeWindow> native_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  std::string caption_;
  TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
  TControl* mouseControl_ = nullptr;  // the control that took the current press
  bool dirty_ = true;
  TBitmap image_;  // the client area as last composed
};

// The primary screen.
class TScreen {
 public:
  int Width() const;
  int Height() const;
};
extern TScreen Screen;

}  // namespace platform
