#include "platform/Input.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include "platform/Application.h"

namespace platform {
namespace {

TEST(InputTest, SdlKeysBecomeWindowsVirtualKeys) {
  struct TCase {
    int32_t sdl;
    uint16_t vk;
  };
  const TCase cases[] = {
      {SDLK_a, 'A'},      {SDLK_z, 'Z'},       {SDLK_0, '0'},         {SDLK_9, '9'},
      {SDLK_SPACE, 0x20}, {SDLK_RETURN, 0x0D}, {SDLK_KP_ENTER, 0x0D}, {SDLK_ESCAPE, 0x1B},
      {SDLK_LEFT, 0x25},  {SDLK_UP, 0x26},     {SDLK_RIGHT, 0x27},    {SDLK_DOWN, 0x28},
      {SDLK_F1, 0x70},    {SDLK_F4, 115},      {SDLK_F10, 121},       {SDLK_F12, 0x7B},
      {SDLK_LALT, 18},    {SDLK_RALT, 18},     {SDLK_LSHIFT, 0x10},   {SDLK_RSHIFT, 0x10},
      {SDLK_LCTRL, 0x11}, {SDLK_RCTRL, 0x11},  {SDLK_F13, 0},         {SDLK_CAPSLOCK, 0},
  };
  for (const TCase& c : cases) EXPECT_EQ(VirtualKeyFromSdl(c.sdl), c.vk) << "SDL key " << c.sdl;
}

TEST(InputTest, AltF10AndAltChordsAreSystemKeys) {
  struct TCase {
    bool pressed;
    uint16_t vk;
    bool alt;
    uint32_t msg;
  };
  const TCase cases[] = {
      {true, 'A', false, WM_KEYDOWN},       {false, 'A', false, WM_KEYUP},
      {true, VK_MENU, true, WM_SYSKEYDOWN}, {false, VK_MENU, false, WM_SYSKEYUP},
      {true, VK_F10, false, WM_SYSKEYDOWN}, {true, VK_F4, true, WM_SYSKEYDOWN},
      {true, VK_F4, false, WM_KEYDOWN},     {false, VK_F10, false, WM_SYSKEYUP},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(KeyMessage(c.pressed, c.vk, c.alt), c.msg) << c.vk << (c.pressed ? " down" : " up");
  }
}

TEST(InputTest, EverySecondPressOfASeriesIsADoubleClick) {
  EXPECT_EQ(LeftButtonMessage(true, 1), WM_LBUTTONDOWN);
  EXPECT_EQ(LeftButtonMessage(true, 2), WM_LBUTTONDBLCLK);
  EXPECT_EQ(LeftButtonMessage(true, 3), WM_LBUTTONDOWN);
  EXPECT_EQ(LeftButtonMessage(true, 4), WM_LBUTTONDBLCLK);
  for (int clicks = 1; clicks <= 3; ++clicks)
    EXPECT_EQ(LeftButtonMessage(false, clicks), WM_LBUTTONUP);
}

}  // namespace
}  // namespace platform
