#pragma once
// The application object and the message queue beneath it.
//
// Everything the program needs from the system below it goes through TBackend: the millisecond
// clock, the message queue, windows, message boxes and the beep. The program installs the SDL
// backend (Application.Initialize); unit tests keep the headless one (HeadlessBackend.h), which
// has a fake clock and a scripted queue, so nothing in a test waits on real time or needs a
// display. Forms, controls and message dispatch (Forms.h) are the same code on both.

#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/Classes.h"

namespace platform {

// Window message numbers, as the Windows API numbers them.
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_KEYFIRST = 0x0100;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;  // 256, the first key message
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_KEYLAST = 0x0108;  // 264, the last key message
inline constexpr uint32_t WM_MOUSEFIRST = 0x0200;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_MOUSELAST = 0x0209;
inline constexpr uint32_t WM_USER = 0x0400;

// A wait with no time limit.
inline constexpr uint64_t INFINITE = std::numeric_limits<uint64_t>::max();

// Mouse positions travel in lParam as two signed 16-bit halves, x low, as on Windows.
constexpr int64_t MakeLParam(int x, int y) {
  return static_cast<int64_t>(static_cast<uint16_t>(x)) |
         (static_cast<int64_t>(static_cast<uint16_t>(y)) << 16);
}
constexpr int LParamX(int64_t lParam) {
  return static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF));
}
constexpr int LParamY(int64_t lParam) {
  return static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF));
}

class TWindow;
class TBitmap;
class TForm;

struct TMessage {
  uint32_t Msg = 0;
  uint64_t WParam = 0;
  int64_t LParam = 0;
  TWindow* Target = nullptr;  // the window the message is for; null for thread messages (WM_QUIT)
};

// Anything that can receive messages: forms and windowed controls. A window that is destroyed
// with messages still queued for it never receives them.
class TWindow {
 public:
  TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  virtual ~TWindow();
  virtual void WndProc(TMessage& message) = 0;
};

// The frame's thickness on each side of the client area, in pixels.
struct TFrameExtents {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// The system's window behind a form: a top-level window whose client area shows a picture.
class TNativeWindow {
 public:
  virtual ~TNativeWindow() = default;
  // Places the outer top-left corner at (Left, Top) and gives the client area this size.
  virtual void SetBounds(int left, int top, int clientWidth, int clientHeight) = 0;
  // The frame as far as the system knows it now (before the window is first shown it may not).
  virtual TFrameExtents Frame() const = 0;
  // Caption text in Shift-JIS.
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetStyle(bool bordered, bool resizable) = 0;
  virtual void SetIcon(const TBitmap& icon) = 0;
  virtual void SetVisible(bool visible) = 0;
  // Shows Image (the client area's size) as the window's content.
  virtual void Present(const TBitmap& image) = 0;
};

class TBackend {
 public:
  virtual ~TBackend() = default;
  // Milliseconds since some fixed moment; 64 bits, so it never wraps.
  virtual uint64_t Ticks() = 0;
  // Takes the next pending message, if any. Never waits.
  virtual bool PeekMessage(TMessage& message) = 0;
  // Returns when a message is pending or timeoutMs have passed, whichever comes first.
  virtual void WaitMessage(uint64_t timeoutMs) = 0;
  // Places a message at the end of the queue and returns at once.
  virtual void PostMessage(const TMessage& message) = 0;
  // A short audible signal. Never fails and never blocks.
  virtual void Beep() = 0;

  // A hidden window whose mouse, key, paint and close messages are addressed to Owner.
  // The default is a window that shows nothing.
  virtual std::unique_ptr<TNativeWindow> CreateNativeWindow(TWindow& owner);
  // The primary screen's size in pixels (not its work area).
  virtual int ScreenWidth() { return 0; }
  virtual int ScreenHeight() { return 0; }
  // An error report that the user dismisses; Parent is null when no window of ours is shown.
  // Texts in Shift-JIS. The default shows nothing (the report's stderr line remains).
  virtual void ShowMessageBox(const std::string& title, const std::string& text,
                              TNativeWindow* parent);
};

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  std::string Title;

  // Installs the SDL backend. A failure (no display) is reported and makes Run return non-zero.
  // WindowScale enlarges every window's picture that many times (see CreateSdlBackend).
  void Initialize(int windowScale = 1);

  // Replaces the backend and forgets a quit request taken from the old one and a failed
  // start-up: a new backend is a new start. Forms made on the old backend must be gone.
  void SetBackend(std::unique_ptr<TBackend> backend);
  TBackend& Backend() { return *backend_; }

  // Creates a form owned by the application and stores it in Reference once its constructor
  // has returned. The first form created is the main window. An error raised by the constructor
  // is reported at once (ShowException: message box with no parent, one stderr line), Reference
  // stays null, later CreateForm calls do nothing, and Run returns a non-zero status without
  // showing anything.
  template <class TFormClass>
  void CreateForm(TFormClass*& reference) {
    static_assert(std::is_base_of_v<TForm, TFormClass>, "CreateForm makes forms");
    if (startupFailed_) return;
    try {
      auto form = std::make_unique<TFormClass>(this);
      reference = form.get();
      AdoptForm(std::move(form));
    } catch (const std::exception& error) {
      StartupFailed(error);
    } catch (...) {
      StartupFailed(std::runtime_error("unknown error"));
    }
  }

  // Shows the main window and dispatches messages until the application has terminated, then
  // destroys the forms it owns (so their destructors run while every other object of the
  // program still exists). Returns the process's exit status: 0, or 1 when start-up failed
  // (Initialize or CreateForm reported an error). A program entry ends with
  // `return Application.Run();`.
  int Run();

  // Dispatches every pending message to its window and returns; never waits. Taking WM_QUIT
  // from the queue makes Terminated() true. Forms that need it are repainted at the end.
  void ProcessMessages();
  // Repaints the forms that need it, then waits until a message is pending or TimeoutMs
  // (INFINITE: no limit) have passed.
  void WaitMessage(uint64_t timeoutMs);
  // Only posts a quit request; by itself it ends nothing.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Hands one message to its target window (or takes the quit request). An error escaping the
  // window's handler is reported with ShowException and goes no further.
  void DispatchMessage(TMessage& message);

  // The default error report: one line on stderr, then a message box titled with Title,
  // parented to the main window while it is shown. Returns when the user dismisses it.
  void ShowException(const std::exception& error);

  TForm* MainForm() const { return mainForm_; }
  // Presents every form whose picture has changed since it was last presented.
  void UpdateForms();

  // Bookkeeping for TForm's constructor and destructor.
  void RegisterForm(TForm* form);
  void UnregisterForm(TForm* form);

 private:
  void AdoptForm(std::unique_ptr<TForm> form);
  void StartupFailed(const std::exception& error);
  void DestroyForms();

  std::unique_ptr<TBackend> backend_;
  bool terminated_ = false;
  bool startupFailed_ = false;
  TForm* mainForm_ = nullptr;
  std::vector<TForm*> forms_;                       // every live form, in order of creation
  std::vector<std::unique_ptr<TForm>> ownedForms_;  // those made by CreateForm
};

// The program's one application object.
extern TApplication Application;

// The system clock, in milliseconds (the backend's Ticks).
uint64_t timeGetTime();
// The system's default beep.
void Beep();
// Places a message for Window in the queue; returns at once.
bool PostMessage(TWindow* window, uint32_t msg, uint64_t wParam, int64_t lParam);

}  // namespace platform
