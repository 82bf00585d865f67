#include "platform/SdlBackend.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>

#include <strings.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Cp932.h"
#include "platform/Input.h"

namespace platform {

namespace {

class TSdlBackend;

class TSdlWindow : public TNativeWindow {
 public:
  TSdlWindow(TSdlBackend& backend, TWindow& owner, int scale);
  ~TSdlWindow() override;

  void SetBounds(int left, int top, int clientWidth, int clientHeight) override;
  TFrameExtents Frame() const override;
  void SetCaption(const std::string& caption) override;
  void SetStyle(bool bordered, bool resizable) override;
  void SetIcon(const TBitmap& icon) override;
  void SetVisible(bool visible) override;
  void Present(const TBitmap& image) override;

  SDL_Window* Handle() const { return window_; }
  TWindow& Owner() const { return owner_; }
  int Scale() const { return scale_; }

 private:
  void DropRenderer();

  TSdlBackend& backend_;
  TWindow& owner_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  int left_ = 0;
  int top_ = 0;
  int scale_ = 1;  // each client pixel is shown as a scale x scale block
  int clientWidth_ = 0;
  int clientHeight_ = 0;
};

class TSdlBackend : public TBackend {
 public:
  explicit TSdlBackend(int windowScale);
  ~TSdlBackend() override;

  uint64_t Ticks() override { return SDL_GetTicks64(); }
  bool PeekMessage(TMessage& message) override;
  void WaitMessage(uint64_t timeoutMs) override;
  void PostMessage(const TMessage& message) override;
  void Beep() override;
  std::unique_ptr<TNativeWindow> CreateNativeWindow(TWindow& owner) override;
  int ScreenWidth() override { return ScreenBounds().w; }
  int ScreenHeight() override { return ScreenBounds().h; }
  void ShowMessageBox(const std::string& title, const std::string& text,
                      TNativeWindow* parent) override;

  void Register(uint32_t windowId, TSdlWindow* window) { windows_[windowId] = window; }
  void Unregister(uint32_t windowId) { windows_.erase(windowId); }

 private:
  bool Translate(const SDL_Event& event, TMessage& message);
  TWindow* OwnerOf(uint32_t windowId) const;
  int ScaleOf(uint32_t windowId) const;
  static SDL_Rect ScreenBounds();
  void PauseIdleBeep();
  int XConnection();

  int windowScale_ = 1;
  uint32_t postedEvent_ = 0;
  std::deque<TMessage> posted_;  // messages posted and not yet taken, oldest first
  bool haveWaited_ = false;      // an event taken by WaitMessage, to be handed out next
  SDL_Event waited_{};
  std::optional<int> xConnection_;  // the X server's socket (-1: not X11), once a window tells
  std::unordered_map<uint32_t, TSdlWindow*> windows_;
  bool audioTried_ = false;
  bool audioStarted_ = false;
  SDL_AudioDeviceID beepDevice_ = 0;
  std::vector<int16_t> tone_;
};

// ---- TSdlWindow

TSdlWindow::TSdlWindow(TSdlBackend& backend, TWindow& owner, int scale)
    : backend_(backend), owner_(owner), scale_(std::max(scale, 1)) {
  window_ = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1, 1,
                             SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    throw std::runtime_error(std::string("cannot create a window: ") + SDL_GetError());
  }
  backend_.Register(SDL_GetWindowID(window_), this);
}

TSdlWindow::~TSdlWindow() {
  backend_.Unregister(SDL_GetWindowID(window_));
  DropRenderer();
  SDL_DestroyWindow(window_);
}

void TSdlWindow::DropRenderer() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  texture_ = nullptr;
  renderer_ = nullptr;
}

void TSdlWindow::SetBounds(int left, int top, int clientWidth, int clientHeight) {
  left_ = left;
  top_ = top;
  clientWidth_ = std::max(clientWidth, 0);
  clientHeight_ = std::max(clientHeight, 0);
  // SDL refuses an empty window; a 0-pixel client area becomes 1 pixel on screen.
  const int width = std::max(clientWidth_ * scale_, 1);
  const int height = std::max(clientHeight_ * scale_, 1);
  int oldWidth = 0, oldHeight = 0;
  SDL_GetWindowSize(window_, &oldWidth, &oldHeight);
  if (width != oldWidth || height != oldHeight) {
    SDL_SetWindowSize(window_, width, height);
    // SDL takes the new size at once and then drops the system's confirmation as no change,
    // so a renderer would never hear of it; the next Present makes one for the new size.
    DropRenderer();
  }
  // SDL places the client area; the form's Left and Top are the frame's corner.
  const TFrameExtents frame = Frame();
  SDL_SetWindowPosition(window_, left + frame.Left, top + frame.Top);
}

TFrameExtents TSdlWindow::Frame() const {
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  // The form knows only its unscaled client area; what the enlarged picture takes beyond it
  // counts to the frame, so that the form's outer size, and with it its centring, is the
  // window's real one.
  return TFrameExtents{left, top, right + (scale_ - 1) * clientWidth_,
                       bottom + (scale_ - 1) * clientHeight_};
}

void TSdlWindow::SetCaption(const std::string& caption) {
  SDL_SetWindowTitle(window_, Cp932ToUtf8(caption).c_str());
}

void TSdlWindow::SetStyle(bool bordered, bool resizable) {
  SDL_SetWindowBordered(window_, bordered ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(window_, resizable ? SDL_TRUE : SDL_FALSE);
}

void TSdlWindow::SetIcon(const TBitmap& icon) {
  if (icon.Width() == 0 || icon.Height() == 0) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(icon.ScanLine(0)), icon.Width(), icon.Height(), 24,
      static_cast<int>(icon.Pitch()), SDL_PIXELFORMAT_BGR24);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

void TSdlWindow::SetVisible(bool visible) {
  if (!visible) {
    SDL_HideWindow(window_);
    return;
  }
  const TFrameExtents before = Frame();
  SDL_ShowWindow(window_);
  // A window manager's frame is known only once the window is mapped; keep the frame's corner
  // where the form put it.
  const TFrameExtents after = Frame();
  if (after.Left != before.Left || after.Top != before.Top) {
    SDL_SetWindowPosition(window_, left_ + after.Left, top_ + after.Top);
  }
}

void TSdlWindow::Present(const TBitmap& image) {
  if (image.Width() == 0 || image.Height() == 0) return;
  if (renderer_ == nullptr) {
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) return;  // nothing to show with; the next Present tries again
  }
  if (texture_ == nullptr || textureWidth_ != image.Width() || textureHeight_ != image.Height()) {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING,
                                 image.Width(), image.Height());
    if (texture_ == nullptr) return;
    // Enlarged pixels stay sharp blocks.
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    textureWidth_ = image.Width();
    textureHeight_ = image.Height();
  }
  SDL_UpdateTexture(texture_, nullptr, image.ScanLine(0), static_cast<int>(image.Pitch()));
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

// ---- TSdlBackend

namespace {

bool IsDesktopDriver(const char* driver) {
  if (driver == nullptr) return false;
  for (const char* desktop : {"x11", "wayland", "windows", "cocoa"}) {
    if (SDL_strcmp(driver, desktop) == 0) return true;
  }
  return false;
}

}  // namespace

TSdlBackend::TSdlBackend(int windowScale) : windowScale_(std::max(windowScale, 1)) {
  // Closing the window is the form's business (WM_CLOSE); SDL_QUIT then only comes from a
  // signal such as Ctrl+C, which becomes a quit request.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Twenty unscaled 320 x 280 pictures a second need no GPU. SDL's software renderer writing
  // straight to the X server's shared memory costs well under 1 % of a core, where an OpenGL
  // context (a JIT rasteriser and its threads on machines without a GPU driver, Xvfb among
  // them) costs three times that. The environment variables of the same names still decide.
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    throw std::runtime_error(std::string("cannot open the display: ") + SDL_GetError());
  }
  // Without a desktop SDL falls back to drivers that show nothing (a Linux console's KMS, say),
  // and the player would wait invisibly for clicks that never come. Unless the user chose a
  // driver, only a real desktop will do.
  const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
  if ((chosen == nullptr || *chosen == '\0') && !IsDesktopDriver(SDL_GetCurrentVideoDriver())) {
    const std::string fallback = SDL_GetCurrentVideoDriver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    const char* display = SDL_getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      throw std::runtime_error(
          "cannot open the display: no desktop to show the window on (is DISPLAY or "
          "WAYLAND_DISPLAY set?)");
    }
    // There is an X display, yet SDL went past it: try it once more by name, so that a passing
    // refusal is not final and a lasting one is reported with X's own reason.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    const bool opened = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    const std::string reason = opened ? "" : SDL_GetError();
    SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
    if (!opened) {
      throw std::runtime_error(std::string("cannot open the display ") + display + ": " + reason +
                               " (SDL offered only \"" + fallback + "\")");
    }
  }
  postedEvent_ = SDL_RegisterEvents(1);
  if (postedEvent_ == static_cast<uint32_t>(-1)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    throw std::runtime_error("no SDL event number left for posted messages");
  }
}

TSdlBackend::~TSdlBackend() {
  if (beepDevice_ != 0) SDL_CloseAudioDevice(beepDevice_);
  if (audioStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_Rect TSdlBackend::ScreenBounds() {
  SDL_Rect bounds{0, 0, 0, 0};
  SDL_GetDisplayBounds(0, &bounds);
  return bounds;
}

TWindow* TSdlBackend::OwnerOf(uint32_t windowId) const {
  const auto found = windows_.find(windowId);
  return found == windows_.end() ? nullptr : &found->second->Owner();
}

int TSdlBackend::ScaleOf(uint32_t windowId) const {
  // Mouse positions come in the window's enlarged pixels; forms count client pixels.
  const auto found = windows_.find(windowId);
  return found == windows_.end() ? 1 : found->second->Scale();
}

bool TSdlBackend::Translate(const SDL_Event& event, TMessage& message) {
  message = TMessage{};
  if (event.type == postedEvent_) {
    if (posted_.empty()) return false;
    message = posted_.front();
    posted_.pop_front();
    return true;
  }
  switch (event.type) {
    case SDL_QUIT:
      message.Msg = WM_QUIT;
      return true;
    case SDL_WINDOWEVENT:
      message.Target = OwnerOf(event.window.windowID);
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          message.Msg = WM_CLOSE;
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
          message.Msg = WM_PAINT;
          break;
        default:
          return false;
      }
      return message.Target != nullptr;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (event.button.button != SDL_BUTTON_LEFT) return false;
      message.Msg = LeftButtonMessage(event.type == SDL_MOUSEBUTTONDOWN, event.button.clicks);
      message.LParam = MakeLParam(event.button.x / ScaleOf(event.button.windowID),
                                  event.button.y / ScaleOf(event.button.windowID));
      message.Target = OwnerOf(event.button.windowID);
      return message.Target != nullptr;
    case SDL_MOUSEMOTION:
      message.Msg = WM_MOUSEMOVE;
      message.LParam = MakeLParam(event.motion.x / ScaleOf(event.motion.windowID),
                                  event.motion.y / ScaleOf(event.motion.windowID));
      message.Target = OwnerOf(event.motion.windowID);
      return message.Target != nullptr;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const uint16_t key = VirtualKeyFromSdl(event.key.keysym.sym);
      if (key == 0) return false;
      message.Msg =
          KeyMessage(event.type == SDL_KEYDOWN, key, (event.key.keysym.mod & KMOD_ALT) != 0);
      message.WParam = key;
      message.Target = OwnerOf(event.key.windowID);
      return message.Target != nullptr;
    }
    case SDL_TEXTINPUT: {
      // Character messages for plain ASCII; anything longer is IME text the program has no use for.
      const unsigned char c = static_cast<unsigned char>(event.text.text[0]);
      if (c < 0x20 || c > 0x7E || event.text.text[1] != '\0') return false;
      message.Msg = WM_CHAR;
      message.WParam = c;
      message.Target = OwnerOf(event.text.windowID);
      return message.Target != nullptr;
    }
    default:
      return false;
  }
}

bool TSdlBackend::PeekMessage(TMessage& message) {
  PauseIdleBeep();
  SDL_Event event;
  for (;;) {
    if (haveWaited_) {
      haveWaited_ = false;
      event = waited_;
    } else if (SDL_PollEvent(&event) == 0) {
      break;
    }
    if (Translate(event, message)) return true;
  }
  // A post whose wake-up event could not be queued (SDL's queue was full) is still delivered.
  if (!posted_.empty()) {
    message = posted_.front();
    posted_.pop_front();
    return true;
  }
  return false;
}

void TSdlBackend::WaitMessage(uint64_t timeoutMs) {
  if (haveWaited_) return;
  const int timeout =
      timeoutMs == INFINITE ? -1 : static_cast<int>(std::min<uint64_t>(timeoutMs, INT_MAX));
  // On X11, SDL's own wait sends itself a wake-up event over a second connection whenever the
  // events it reads add to its queue, addressed to one of our windows. When that window is
  // destroyed straight after (the story's end), the server may handle the destruction first and
  // answer the wake-up with BadWindow, which Xlib's default handler turns into exit status 1.
  // Every post comes from this thread, so nothing needs that wake-up: waiting on the X socket
  // ourselves sees the same input without it.
  const int connection = XConnection();
  if (connection < 0) {
    haveWaited_ =
        (timeout < 0 ? SDL_WaitEvent(&waited_) : SDL_WaitEventTimeout(&waited_, timeout)) != 0;
    return;
  }
  SDL_PumpEvents();  // also flushes what is drawn, so the server shows it while we wait
  if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) || !posted_.empty()) return;
  pollfd socket{connection, POLLIN, 0};
  // SDL turns Ctrl+C into a quit request at the next pump: at once when the signal interrupts
  // this wait, else when the wait times out, as with SDL's own wait.
  poll(&socket, 1, timeout);
}

int TSdlBackend::XConnection() {
  if (xConnection_) return *xConnection_;
  if (windows_.empty()) return -1;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  const bool x11 = SDL_GetWindowWMInfo(windows_.begin()->second->Handle(), &info) == SDL_TRUE &&
                   info.subsystem == SDL_SYSWM_X11;
  xConnection_ = x11 ? ConnectionNumber(info.info.x11.display) : -1;
  return *xConnection_;
}

void TSdlBackend::PostMessage(const TMessage& message) {
  posted_.push_back(message);
  // The message itself stays here; the event only wakes a wait and keeps the message's place
  // among input events.
  SDL_Event wake{};
  wake.type = postedEvent_;
  SDL_PushEvent(&wake);
}

std::unique_ptr<TNativeWindow> TSdlBackend::CreateNativeWindow(TWindow& owner) {
  return std::make_unique<TSdlWindow>(*this, owner, windowScale_);
}

void TSdlBackend::ShowMessageBox(const std::string& title, const std::string& text,
                                 TNativeWindow* parent) {
  SDL_Window* parentHandle =
      parent != nullptr ? static_cast<TSdlWindow*>(parent)->Handle() : nullptr;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, Cp932ToUtf8(title).c_str(),
                           Cp932ToUtf8(text).c_str(), parentHandle);
}

void TSdlBackend::Beep() {
  if (!audioTried_) {
    audioTried_ = true;
    // The music opens its own device. With the disk driver both would write the same file and
    // spoil it, and the dummy driver discards everything, so the beep stays silent with either.
    const char* driver = SDL_getenv("SDL_AUDIODRIVER");
    if (driver != nullptr &&
        (strcasecmp(driver, "disk") == 0 || strcasecmp(driver, "dummy") == 0)) {
      return;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    audioStarted_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = 22050;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = 512;
    beepDevice_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (beepDevice_ == 0) return;
    // 120 ms of 880 Hz with 10 ms ramps, so the tone neither clicks on nor off.
    const int samples = wanted.freq * 120 / 1000;
    const int ramp = wanted.freq * 10 / 1000;
    tone_.resize(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
      const double envelope = std::min({1.0, double(i) / ramp, double(samples - i) / ramp});
      tone_[static_cast<std::size_t>(i)] =
          static_cast<int16_t>(6000.0 * envelope * std::sin(2.0 * M_PI * 880.0 * i / wanted.freq));
    }
  }
  if (beepDevice_ == 0) return;
  // Beeps in quick succession do not pile up into a long tone.
  if (SDL_GetQueuedAudioSize(beepDevice_) > 0) return;
  SDL_QueueAudio(beepDevice_, tone_.data(), static_cast<uint32_t>(tone_.size() * sizeof(int16_t)));
  SDL_PauseAudioDevice(beepDevice_, 0);
}

void TSdlBackend::PauseIdleBeep() {
  // A running device feeds silence without end; pausing it once the tone is out saves the CPU.
  if (beepDevice_ != 0 && SDL_GetAudioDeviceStatus(beepDevice_) == SDL_AUDIO_PLAYING &&
      SDL_GetQueuedAudioSize(beepDevice_) == 0) {
    SDL_PauseAudioDevice(beepDevice_, 1);
  }
}

}  // namespace

std::unique_ptr<TBackend> CreateSdlBackend(int windowScale) {
  return std::make_unique<TSdlBackend>(windowScale);
}

}  // namespace platform
