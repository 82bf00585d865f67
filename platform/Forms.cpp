#include "platform/Forms.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Fills Area of Image with Color; Area is clipped to the image first.
void FillRect(TBitmap& image, TRect area, TColor color) {
  area = Intersect(area, TRect{0, 0, image.Width(), image.Height()});
  if (area.Empty()) return;
  const uint8_t blue = static_cast<uint8_t>((color >> 16) & 0xFF);
  const uint8_t green = static_cast<uint8_t>((color >> 8) & 0xFF);
  const uint8_t red = static_cast<uint8_t>(color & 0xFF);
  for (int y = area.Top; y < area.Bottom; ++y) {
    uint8_t* pixel = image.ScanLine(y) + static_cast<std::ptrdiff_t>(area.Left) * 3;
    for (int x = area.Left; x < area.Right; ++x) {
      *pixel++ = blue;
      *pixel++ = green;
      *pixel++ = red;
    }
  }
}

bool Contains(const TControl& control, int x, int y) {
  return x >= control.Left() && x < control.Left() + control.Width() && y >= control.Top() &&
         y < control.Top() + control.Height();
}

}  // namespace

TRect Intersect(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  SetParent(nullptr);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  Invalidate();
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  Invalidate();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) {
    if (TForm* form = ParentForm()) {
      form->ReleaseMouseOf(this);
      form->InvalidateForm();
    }
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  parent_ = parent;
  if (parent_ != nullptr) {
    parent_->controls_.push_back(this);
    Invalidate();
  }
}

TForm* TControl::ParentForm() {
  TControl* top = this;
  while (top->parent_ != nullptr) top = top->parent_;
  return dynamic_cast<TForm*>(top);
}

void TControl::ClientOrigin(int& x, int& y) const {
  x = 0;
  y = 0;
  // A form's own Left and Top are screen coordinates, so the walk stops below it.
  for (const TControl* c = this; c->parent_ != nullptr; c = c->parent_) {
    x += c->left_;
    y += c->top_;
  }
}

void TControl::MouseMessage(uint32_t msg, int x, int y) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      clicked_ = true;
      break;
    case WM_LBUTTONDBLCLK:
      // The second press of a double-click is not a press that can become a click.
      clicked_ = false;
      if (OnDblClick) OnDblClick(this);
      break;
    case WM_LBUTTONUP:
      if (clicked_) {
        clicked_ = false;
        if (x >= 0 && x < Width() && y >= 0 && y < Height() && OnClick) OnClick(this);
      }
      break;
    default:
      break;
  }
}

void TControl::Invalidate() {
  if (TForm* form = ParentForm()) form->InvalidateForm();
}

void TControl::PaintTo(TBitmap&, int, int, const TRect&) {}

// ---- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

void TWinControl::WndProc(TMessage& message) {
  const uint32_t msg = message.Msg;
  if (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) {
    if (TForm* form = ParentForm(); form != nullptr && form->WantChildKey(this, message)) return;
    if ((msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) && OnKeyDown) {
      uint16_t key = static_cast<uint16_t>(message.WParam);
      OnKeyDown(this, key);
    } else if ((msg == WM_KEYUP || msg == WM_SYSKEYUP) && OnKeyUp) {
      uint16_t key = static_cast<uint16_t>(message.WParam);
      OnKeyUp(this, key);
    } else if ((msg == WM_CHAR || msg == WM_SYSCHAR) && OnKeyPress) {
      char key = static_cast<char>(message.WParam);
      OnKeyPress(this, key);
    }
    return;
  }
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    MouseMessage(msg, LParamX(message.LParam), LParamY(message.LParam));
  }
}

TControl* TWinControl::ControlAtPos(int x, int y) {
  // Windowed controls lie above graphic ones; later controls above earlier ones.
  for (const bool windowed : {true, false}) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
      TControl* control = *it;
      if (control->IsWindowed() != windowed || !control->Visible() || !Contains(*control, x, y)) {
        continue;
      }
      if (!windowed) return control;
      return static_cast<TWinControl*>(control)->ControlAtPos(x - control->Left(),
                                                              y - control->Top());
    }
  }
  return this;
}

void TWinControl::PaintTo(TBitmap& image, int x, int y, const TRect& clip) {
  const TRect own = Intersect(clip, TRect{x, y, x + Width(), y + Height()});
  if (own.Empty()) return;
  // The background is left out where an opaque control hides all of it anyway: every frame
  // of the story player covers the whole window.
  bool hidden = false;
  for (TControl* control : controls_) {
    if (!control->Visible() || !control->Opaque()) continue;
    const int left = x + control->Left();
    const int top = y + control->Top();
    const TRect covered =
        Intersect(own, TRect{left, top, left + control->Width(), top + control->Height()});
    if (covered.Left == own.Left && covered.Top == own.Top && covered.Right == own.Right &&
        covered.Bottom == own.Bottom) {
      hidden = true;
      break;
    }
  }
  if (!hidden) PaintBackground(image, x, y, own);
  for (const bool windowed : {false, true}) {
    for (TControl* control : controls_) {
      if (control->IsWindowed() == windowed && control->Visible()) {
        control->PaintTo(image, x + control->Left(), y + control->Top(), own);
      }
    }
  }
}

void TWinControl::PaintBackground(TBitmap& image, int, int, const TRect& clip) {
  FillRect(image, clip, Color);
}

// ---- TPanel

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 41);
}

void TPanel::PaintBackground(TBitmap& image, int x, int y, const TRect& clip) {
  FillRect(image, clip, Color);
  if (BevelOuter == TBevelCut::bvNone) return;
  const TColor topLeft = BevelOuter == TBevelCut::bvRaised ? clBtnHighlight : clBtnShadow;
  const TColor bottomRight = BevelOuter == TBevelCut::bvRaised ? clBtnShadow : clBtnHighlight;
  const int right = x + Width();
  const int bottom = y + Height();
  FillRect(image, Intersect(clip, TRect{x, y, right, y + 1}), topLeft);
  FillRect(image, Intersect(clip, TRect{x, y, x + 1, bottom}), topLeft);
  FillRect(image, Intersect(clip, TRect{x, bottom - 1, right, bottom}), bottomRight);
  FillRect(image, Intersect(clip, TRect{right - 1, y, right, bottom}), bottomRight);
}

// ---- TPaintBox

TPaintBox::TPaintBox(TComponent* owner) : TControl(owner) {
  Canvas().OnChange = [this](int x, int y, int width, int height) { Drawn(x, y, width, height); };
  SetBounds(0, 0, 105, 105);
}

void TPaintBox::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  const int oldWidth = surface_.Width();
  const int oldHeight = surface_.Height();
  if (oldWidth == width_ && oldHeight == height_) return;
  // The surface keeps the pixels both sizes share, and so does the record of what was drawn.
  std::vector<uint8_t> drawn(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  const int keepWidth = std::min(oldWidth, width_);
  const int keepHeight = std::min(oldHeight, height_);
  drawnCount_ = 0;
  for (int y = 0; y < keepHeight; ++y) {
    const auto* from = drawn_.data() + static_cast<std::ptrdiff_t>(y) * oldWidth;
    auto* to = drawn.data() + static_cast<std::ptrdiff_t>(y) * width_;
    std::copy(from, from + keepWidth, to);
    drawnCount_ += std::count(to, to + keepWidth, uint8_t{1});
  }
  drawn_ = std::move(drawn);
  surface_.SetSize(width_, height_);
}

void TPaintBox::Drawn(int x, int y, int width, int height) {
  if (Opaque()) {
    Invalidate();
    return;
  }
  const TRect area = Intersect(TRect{x, y, x + width, y + height},
                               TRect{0, 0, surface_.Width(), surface_.Height()});
  if (area.Empty()) return;
  for (int row = area.Top; row < area.Bottom; ++row) {
    auto* flag = drawn_.data() + static_cast<std::ptrdiff_t>(row) * surface_.Width() + area.Left;
    for (int column = area.Left; column < area.Right; ++column, ++flag) {
      drawnCount_ += *flag == 0 ? 1 : 0;
      *flag = 1;
    }
  }
  Invalidate();
}

void TPaintBox::PaintTo(TBitmap& image, int x, int y, const TRect& clip) {
  const TRect area = Intersect(Intersect(clip, TRect{x, y, x + Width(), y + Height()}),
                               TRect{0, 0, image.Width(), image.Height()});
  if (area.Empty() || drawnCount_ == 0) return;
  const bool all = Opaque();
  for (int row = area.Top; row < area.Bottom; ++row) {
    const int sourceRow = row - y;
    const uint8_t* from = surface_.ScanLine(sourceRow);
    uint8_t* to = image.ScanLine(row);
    if (all) {
      std::memcpy(to + static_cast<std::ptrdiff_t>(area.Left) * 3,
                  from + static_cast<std::ptrdiff_t>(area.Left - x) * 3,
                  static_cast<std::size_t>(area.Right - area.Left) * 3);
      continue;
    }
    const uint8_t* flags = drawn_.data() + static_cast<std::ptrdiff_t>(sourceRow) * Width();
    for (int column = area.Left; column < area.Right; ++column) {
      if (flags[column - x] == 0) continue;
      std::memcpy(to + static_cast<std::ptrdiff_t>(column) * 3,
                  from + static_cast<std::ptrdiff_t>(column - x) * 3, 3);
    }
  }
}

// ---- TForm

TForm::TForm(TComponent* owner, const TFormDesign& design)
    : TWinControl(owner), native_(Application.Backend().CreateNativeWindow(*this)) {
  visible_ = false;  // a form appears when it is shown
  Color = design.Color;
  left_ = design.Left;
  top_ = design.Top;
  clientWidth_ = std::max(design.ClientWidth, 0);
  clientHeight_ = std::max(design.ClientHeight, 0);
  caption_ = design.Caption;
  borderStyle_ = design.BorderStyle;
  BorderIcons = design.BorderIcons;
  native_->SetCaption(caption_);
  native_->SetStyle(borderStyle_ != TBorderStyle::bsNone, borderStyle_ == TBorderStyle::bsSizeable);
  ApplyBounds();
  Application.RegisterForm(this);
}

TForm::~TForm() {
  Application.UnregisterForm(this);
}

int TForm::Width() const {
  const TFrameExtents frame = native_->Frame();
  return clientWidth_ + frame.Left + frame.Right;
}

int TForm::Height() const {
  const TFrameExtents frame = native_->Frame();
  return clientHeight_ + frame.Top + frame.Bottom;
}

void TForm::SetClientWidth(int width) {
  clientWidth_ = std::max(width, 0);
  ApplyBounds();
}

void TForm::SetClientHeight(int height) {
  clientHeight_ = std::max(height, 0);
  ApplyBounds();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  const TFrameExtents frame = native_->Frame();
  left_ = left;
  top_ = top;
  clientWidth_ = std::max(width - frame.Left - frame.Right, 0);
  clientHeight_ = std::max(height - frame.Top - frame.Bottom, 0);
  ApplyBounds();
}

void TForm::ApplyBounds() {
  width_ = Width();
  height_ = Height();
  native_->SetBounds(left_, top_, clientWidth_, clientHeight_);
  dirty_ = true;
}

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  native_->SetCaption(caption_);
}

void TForm::SetBorderStyle(TBorderStyle style) {
  borderStyle_ = style;
  native_->SetStyle(style != TBorderStyle::bsNone, style == TBorderStyle::bsSizeable);
}

void TForm::SetIcon(const TBitmap& icon) {
  native_->SetIcon(icon);
}

void TForm::SetVisible(bool visible) {
  visible_ = visible;
  native_->SetVisible(visible);
  dirty_ = true;
}

void TForm::Close() {
  if (Application.MainForm() == this) {
    Application.Terminate();
  } else {
    Hide();
  }
}

bool TForm::WantChildKey(TControl*, TMessage&) {
  return false;
}

void TForm::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_PAINT:
      dirty_ = true;
      return;
    default:
      break;
  }
  if (message.Msg >= WM_MOUSEFIRST && message.Msg <= WM_MOUSELAST) {
    RouteMouse(message);
    return;
  }
  TWinControl::WndProc(message);
}

void TForm::RouteMouse(TMessage& message) {
  const int x = LParamX(message.LParam);
  const int y = LParamY(message.LParam);
  // A press belongs to the control it began on until the button is released, wherever the
  // pointer goes meanwhile; that is what lets a release outside the control cancel the click.
  TControl* target = mouseControl_ != nullptr ? mouseControl_ : ControlAtPos(x, y);
  if (message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK) mouseControl_ = target;
  if (message.Msg == WM_LBUTTONUP) mouseControl_ = nullptr;
  int originX = 0;
  int originY = 0;
  target->ClientOrigin(originX, originY);
  target->MouseMessage(message.Msg, x - originX, y - originY);
}

void TForm::ReleaseMouseOf(TControl* control) {
  for (TControl* c = mouseControl_; c != nullptr; c = c->Parent()) {
    if (c == control) {
      mouseControl_ = nullptr;
      return;
    }
  }
}

void TForm::PaintBackground(TBitmap& image, int, int, const TRect& clip) {
  FillRect(image, clip, Color);
}

void TForm::Update() {
  if (!NeedsUpdate()) return;
  dirty_ = false;
  image_.SetSize(clientWidth_, clientHeight_);
  PaintTo(image_, 0, 0, TRect{0, 0, clientWidth_, clientHeight_});
  native_->Present(image_);
}

// ---- TScreen

TScreen Screen;

int TScreen::Width() const {
  return Application.Backend().ScreenWidth();
}

int TScreen::Height() const {
  return Application.Backend().ScreenHeight();
}

}  // namespace platform
