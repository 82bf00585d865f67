#pragma once
// The application object and the message queue beneath it.
//
// Everything the program needs from the system below it goes through TBackend: the millisecond
// clock, the message queue and the beep. The program installs the SDL backend; unit tests keep
// the headless one (HeadlessBackend.h), which has a fake clock and a scripted queue, so nothing
// in a test waits on real time or needs a display.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Window message numbers, as the Windows API numbers them.
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;  // 256, the first key message
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_KEYLAST = 0x0108;  // 264, the last key message
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_USER = 0x0400;

class TWindow;

struct TMessage {
  uint32_t Msg = 0;
  uint64_t WParam = 0;
  int64_t LParam = 0;
  TWindow* Target = nullptr;  // the window the message is for; null for thread messages (WM_QUIT)
};

// Anything that can receive messages: forms and windowed controls.
class TWindow {
 public:
  virtual ~TWindow() = default;
  virtual void WndProc(TMessage& message) = 0;
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
};

class TApplication {
 public:
  TApplication();
  ~TApplication();

  std::string Title;

  // Replaces the backend and forgets a quit request taken from the old one.
  void SetBackend(std::unique_ptr<TBackend> backend);
  TBackend& Backend() { return *backend_; }

  // Dispatches every pending message to its window and returns; never waits. Taking WM_QUIT
  // from the queue makes Terminated() true.
  void ProcessMessages();
  // Only posts a quit request; by itself it ends nothing.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Hands one message to its target window (or takes the quit request).
  void DispatchMessage(TMessage& message);

 private:
  std::unique_ptr<TBackend> backend_;
  bool terminated_ = false;
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
