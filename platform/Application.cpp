#include "platform/Application.h"

#include <cerrno>  // program_invocation_short_name
#include <cstdio>
#include <unordered_set>

#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/HeadlessBackend.h"
#include "platform/SdlBackend.h"

namespace platform {

namespace {

// Windows alive now. A function-level static, so that it outlives every window that uses it.
std::unordered_set<const TWindow*>& LiveWindows() {
  static std::unordered_set<const TWindow*> windows;
  return windows;
}

class TNullWindow : public TNativeWindow {
 public:
  void SetBounds(int, int, int, int) override {}
  TFrameExtents Frame() const override { return {}; }
  void SetCaption(const std::string&) override {}
  void SetStyle(bool, bool) override {}
  void SetIcon(const TBitmap&) override {}
  void SetVisible(bool) override {}
  void Present(const TBitmap&) override {}
};

// One line for stderr: a report must not spill over several lines of a log.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

TWindow::TWindow() {
  LiveWindows().insert(this);
}

TWindow::~TWindow() {
  LiveWindows().erase(this);
}

std::unique_ptr<TNativeWindow> TBackend::CreateNativeWindow(TWindow&) {
  return std::make_unique<TNullWindow>();
}

void TBackend::ShowMessageBox(const std::string&, const std::string&, TNativeWindow*) {}

TApplication Application;

// Until Initialize installs the real one, the application runs on the headless backend, so code
// that posts or beeps works the same in a unit test as in the program.
// Until the program names itself, reports carry the name it was started by, as they would on
// the platform this layer stands in for.
TApplication::TApplication()
    : TComponent(nullptr),
      Title(program_invocation_short_name),
      backend_(std::make_unique<THeadlessBackend>()) {}

TApplication::~TApplication() {
  // Forms still alive at program end belong to a program that never ran; destroy them while
  // the backend that made their windows still exists.
  ownedForms_.clear();
}

void TApplication::Initialize(int windowScale) {
  try {
    SetBackend(CreateSdlBackend(windowScale));
  } catch (const std::exception& error) {
    StartupFailed(error);
  }
}

void TApplication::SetBackend(std::unique_ptr<TBackend> backend) {
  backend_ = std::move(backend);
  terminated_ = false;
  startupFailed_ = false;
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
  if (mainForm_ == nullptr) mainForm_ = form.get();
  ownedForms_.push_back(std::move(form));
}

void TApplication::StartupFailed(const std::exception& error) {
  startupFailed_ = true;
  ShowException(error);
}

int TApplication::Run() {
  if (!startupFailed_) {
    if (mainForm_ != nullptr) mainForm_->Show();
    while (!terminated_) {
      ProcessMessages();
      if (terminated_) break;
      WaitMessage(INFINITE);
    }
  }
  DestroyForms();
  return startupFailed_ ? 1 : 0;
}

void TApplication::DestroyForms() {
  // Last created first, so the main window goes last as its owner's list unwinds.
  while (!ownedForms_.empty()) {
    std::unique_ptr<TForm> form = std::move(ownedForms_.back());
    ownedForms_.pop_back();
    form.reset();
  }
}

void TApplication::ProcessMessages() {
  TMessage message;
  while (backend_->PeekMessage(message)) DispatchMessage(message);
  UpdateForms();
}

void TApplication::WaitMessage(uint64_t timeoutMs) {
  UpdateForms();
  backend_->WaitMessage(timeoutMs);
}

void TApplication::DispatchMessage(TMessage& message) {
  if (message.Msg == WM_QUIT) {
    terminated_ = true;
    return;
  }
  if (message.Target == nullptr || !LiveWindows().contains(message.Target)) return;
  try {
    message.Target->WndProc(message);
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(std::runtime_error("unknown error"));
  }
}

void TApplication::Terminate() {
  backend_->PostMessage(TMessage{WM_QUIT, 0, 0, nullptr});
}

void TApplication::ShowException(const std::exception& error) {
  const std::string text = error.what();
  const std::string title = Title.empty() ? std::string("Error") : Title;
  std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(title).c_str(), OneLine(Cp932ToUtf8(text)).c_str());
  std::fflush(stderr);
  TNativeWindow* parent =
      mainForm_ != nullptr && mainForm_->Visible() ? &mainForm_->NativeWindow() : nullptr;
  try {
    backend_->ShowMessageBox(title, text, parent);
  } catch (...) {
    // The report has reached stderr; a box that cannot be shown is no reason to stop.
  }
}

void TApplication::UpdateForms() {
  const std::vector<TForm*> forms = forms_;
  for (TForm* form : forms) form->Update();
}

void TApplication::RegisterForm(TForm* form) {
  forms_.push_back(form);
}

void TApplication::UnregisterForm(TForm* form) {
  std::erase(forms_, form);
  if (mainForm_ == form) mainForm_ = nullptr;
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
