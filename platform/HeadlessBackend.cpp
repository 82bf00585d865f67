#include "platform/HeadlessBackend.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace platform {

void THeadlessWindow::SetBounds(int newLeft, int newTop, int newClientWidth, int newClientHeight) {
  left = newLeft;
  top = newTop;
  clientWidth = newClientWidth;
  clientHeight = newClientHeight;
}

void THeadlessWindow::SetStyle(bool isBordered, bool isResizable) {
  bordered = isBordered;
  resizable = isResizable;
}

void THeadlessWindow::SetIcon(const TBitmap& icon) {
  iconWidth = icon.Width();
  iconHeight = icon.Height();
}

void THeadlessWindow::Present(const TBitmap& image) {
  ++presents;
  screen.SetSize(image.Width(), image.Height());
  screen.Canvas().CopyFrom(0, 0, image.Width(), image.Height(), image.Canvas(), 0, 0);
}

uint64_t THeadlessBackend::Ticks() {
  return now;
}

void THeadlessBackend::Arrive() {
  // Stable by arrival time, so messages scheduled for the same moment keep their order.
  std::stable_sort(scheduled.begin(), scheduled.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto due = scheduled.begin();
  while (due != scheduled.end() && due->first <= now) queue.push_back((due++)->second);
  scheduled.erase(scheduled.begin(), due);
}

bool THeadlessBackend::PeekMessage(TMessage& message) {
  Arrive();
  if (queue.empty()) return false;
  message = queue.front();
  queue.pop_front();
  return true;
}

void THeadlessBackend::WaitMessage(uint64_t timeoutMs) {
  waits.push_back(timeoutMs);
  Arrive();
  if (!queue.empty()) return;
  if (timeoutMs == INFINITE && scheduled.empty()) {
    throw std::logic_error("headless wait without limit and with no message scheduled");
  }
  // Saturating, so that a long timeout cannot wrap the clock around.
  uint64_t until = timeoutMs > INFINITE - now ? INFINITE : now + timeoutMs;
  for (const auto& s : scheduled) until = std::min(until, s.first);
  now = std::max(now, until);
  Arrive();
}

void THeadlessBackend::PostMessage(const TMessage& message) {
  if (message.Msg == WM_QUIT) ++quitRequests;
  queue.push_back(message);
}

std::unique_ptr<TNativeWindow> THeadlessBackend::CreateNativeWindow(TWindow&) {
  return std::make_unique<THeadlessWindow>(frame);
}

void THeadlessBackend::ShowMessageBox(const std::string& title, const std::string& text,
                                      TNativeWindow* parent) {
  messageBoxes.push_back(THeadlessMessageBox{title, text, parent});
}

void THeadlessBackend::Schedule(uint64_t at, const TMessage& message) {
  scheduled.emplace_back(at, message);
}

THeadlessBackend& UseHeadlessBackend() {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend& ref = *backend;
  Application.SetBackend(std::move(backend));
  return ref;
}

}  // namespace platform
