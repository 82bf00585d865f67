// The SDL backend on SDL's dummy video driver: real SDL event queue and windows, no display.
#include "platform/SdlBackend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/Bitmap.h"

namespace platform {
namespace {

class TSink : public TWindow {
 public:
  void WndProc(TMessage&) override {}
};

class SdlBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* before = std::getenv("SDL_VIDEODRIVER");
    hadDriver = before != nullptr;
    if (hadDriver) savedDriver = before;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    try {
      backend = CreateSdlBackend();
    } catch (const std::runtime_error& error) {
      GTEST_SKIP() << "SDL's dummy video driver is not available: " << error.what();
    }
  }
  void TearDown() override {
    backend.reset();
    if (hadDriver) {
      setenv("SDL_VIDEODRIVER", savedDriver.c_str(), 1);
    } else {
      unsetenv("SDL_VIDEODRIVER");
    }
  }
  std::unique_ptr<TBackend> backend;
  bool hadDriver = false;
  std::string savedDriver;
};

TEST_F(SdlBackendTest, PostedMessagesComeBackInOrderAndWakeAWait) {
  TSink a, b;
  backend->PostMessage(TMessage{WM_USER + 1, 7, -9, &a});
  backend->PostMessage(TMessage{WM_QUIT, 0, 0, nullptr});
  backend->PostMessage(TMessage{WM_USER + 2, 0, 0, &b});

  backend->WaitMessage(INFINITE);  // returns at once: messages are pending

  TMessage m;
  ASSERT_TRUE(backend->PeekMessage(m));
  EXPECT_EQ(m.Msg, WM_USER + 1);
  EXPECT_EQ(m.WParam, 7u);
  EXPECT_EQ(m.LParam, -9);
  EXPECT_EQ(m.Target, &a);
  ASSERT_TRUE(backend->PeekMessage(m));
  EXPECT_EQ(m.Msg, WM_QUIT);
  ASSERT_TRUE(backend->PeekMessage(m));
  EXPECT_EQ(m.Target, &b);
  EXPECT_FALSE(backend->PeekMessage(m));
}

TEST_F(SdlBackendTest, WindowInputBecomesMessagesForItsOwner) {
  TSink owner;
  auto window = backend->CreateNativeWindow(owner);
  window->SetBounds(10, 20, 320, 280);
  window->SetCaption("morvi");
  TBitmap picture;
  picture.SetSize(320, 280);
  window->SetVisible(true);
  window->Present(picture);
  TMessage m;
  while (backend->PeekMessage(m)) {
  }

  SDL_Window* handle = SDL_GetWindowFromID(1);
  for (uint32_t id = 2; handle == nullptr && id < 100; ++id) handle = SDL_GetWindowFromID(id);
  ASSERT_NE(handle, nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(handle), "morvi");
  SDL_Event press{};
  press.type = SDL_MOUSEBUTTONDOWN;
  press.button.windowID = SDL_GetWindowID(handle);
  press.button.button = SDL_BUTTON_LEFT;
  press.button.clicks = 2;
  press.button.x = 30;
  press.button.y = 40;
  SDL_PushEvent(&press);
  SDL_Event right = press;
  right.button.button = SDL_BUTTON_RIGHT;
  SDL_PushEvent(&right);
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.windowID = press.button.windowID;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);

  ASSERT_TRUE(backend->PeekMessage(m));
  EXPECT_EQ(m.Msg, WM_LBUTTONDBLCLK);
  EXPECT_EQ(m.Target, &owner);
  EXPECT_EQ(LParamX(m.LParam), 30);
  EXPECT_EQ(LParamY(m.LParam), 40);
  ASSERT_TRUE(backend->PeekMessage(m)) << "the right button is not passed on";
  EXPECT_EQ(m.Msg, WM_CLOSE);
  EXPECT_EQ(m.Target, &owner);
}

}  // namespace
}  // namespace platform
