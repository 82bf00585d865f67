#include "platform/Application.h"

#include "platform/HeadlessBackend.h"

namespace platform {

TApplication Application;

// Until Initialize installs the real one, the application runs on the headless backend, so code
// that posts or beeps works the same in a unit test as in the program.
TApplication::TApplication() : backend_(std::make_unique<THeadlessBackend>()) {}

TApplication::~TApplication() = default;

void TApplication::SetBackend(std::unique_ptr<TBackend> backend) {
  backend_ = std::move(backend);
  terminated_ = false;
}

void TApplication::ProcessMessages() {
  TMessage message;
  while (backend_->PeekMessage(message)) DispatchMessage(message);
}

void TApplication::DispatchMessage(TMessage& message) {
  if (message.Msg == WM_QUIT) {
    terminated_ = true;
    return;
  }
  if (message.Target != nullptr) message.Target->WndProc(message);
}

void TApplication::Terminate() {
  backend_->PostMessage(TMessage{WM_QUIT, 0, 0, nullptr});
}

uint64_t timeGetTime() {
  return Application.Backend().Ticks();
}

void Beep() {
  Application.Backend().Beep();
}

bool PostMessage(TWindow* window, uint32_t msg, uint64_t wParam, int64_t lParam) {
  Application.Backend().PostMessage(TMessage{msg, wParam, lParam, window});
  return true;
}

}  // namespace platform
