#pragma once
// A backend without display or sound for tests: the clock moves only when the test (or a wait)
// moves it, messages arrive when the test scripts them, windows record what they were told and
// the last picture they presented, and beeps, quit requests and message boxes are counted.

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/Application.h"
#include "platform/Bitmap.h"

namespace platform {

// A window that exists only as a record.
class THeadlessWindow : public TNativeWindow {
 public:
  explicit THeadlessWindow(TFrameExtents initialFrame) : frame(initialFrame) {}

  void SetBounds(int left, int top, int clientWidth, int clientHeight) override;
  TFrameExtents Frame() const override { return frame; }
  void SetCaption(const std::string& text) override { caption = text; }
  void SetStyle(bool isBordered, bool isResizable) override;
  void SetIcon(const TBitmap& icon) override;
  void SetVisible(bool visible) override { shown = visible; }
  void Present(const TBitmap& image) override;

  TFrameExtents frame;
  int left = 0;
  int top = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  std::string caption;
  bool bordered = true;
  bool resizable = true;
  int iconWidth = 0;
  int iconHeight = 0;
  bool shown = false;
  int presents = 0;
  TBitmap screen;  // the picture presented last
};

struct THeadlessMessageBox {
  std::string title;
  std::string text;
  TNativeWindow* parent = nullptr;
};

class THeadlessBackend : public TBackend {
 public:
  uint64_t Ticks() override;
  bool PeekMessage(TMessage& message) override;
  // Moves the fake clock forward to the next scheduled message or by timeoutMs, whichever
  // comes first; returns at once when a message is already pending. A wait without limit and
  // with nothing scheduled would never end, so it raises std::logic_error instead.
  void WaitMessage(uint64_t timeoutMs) override;
  void PostMessage(const TMessage& message) override;
  void Beep() override { ++beeps; }
  std::unique_ptr<TNativeWindow> CreateNativeWindow(TWindow& owner) override;
  int ScreenWidth() override { return screenWidth; }
  int ScreenHeight() override { return screenHeight; }
  void ShowMessageBox(const std::string& title, const std::string& text,
                      TNativeWindow* parent) override;

  // Moves the fake clock.
  void Advance(uint64_t ms) { now += ms; }
  // A message that arrives in the queue once the clock reaches At.
  void Schedule(uint64_t at, const TMessage& message);

  uint64_t now = 0;
  int beeps = 0;
  int quitRequests = 0;                                  // WM_QUIT messages posted
  std::vector<uint64_t> waits;                           // the timeout of every WaitMessage call
  std::deque<TMessage> queue;                            // pending messages, oldest first
  std::vector<std::pair<uint64_t, TMessage>> scheduled;  // not yet arrived, by arrival time
  int screenWidth = 1024;
  int screenHeight = 768;
  TFrameExtents frame;  // the frame that windows created from now on get
  std::vector<THeadlessMessageBox> messageBoxes;

 private:
  void Arrive();
};

// Installs a fresh headless backend in Application and returns it, for tests.
THeadlessBackend& UseHeadlessBackend();

}  // namespace platform
