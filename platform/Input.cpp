#include "platform/Input.h"

#include <SDL_keycode.h>

#include "platform/Application.h"

namespace platform {

uint16_t VirtualKeyFromSdl(int32_t sdlKey) {
  if (sdlKey >= SDLK_a && sdlKey <= SDLK_z) return static_cast<uint16_t>('A' + (sdlKey - SDLK_a));
  if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9) return static_cast<uint16_t>('0' + (sdlKey - SDLK_0));
  if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12) {
    return static_cast<uint16_t>(VK_F1 + (sdlKey - SDLK_F1));
  }
  switch (sdlKey) {
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_PAGEUP:
      return VK_PRIOR;
    case SDLK_PAGEDOWN:
      return VK_NEXT;
    case SDLK_END:
      return VK_END;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_INSERT:
      return VK_INSERT;
    case SDLK_DELETE:
      return VK_DELETE;
    default:
      return 0;
  }
}

uint32_t KeyMessage(bool pressed, uint16_t virtualKey, bool altHeld) {
  const bool system = altHeld || virtualKey == VK_MENU || virtualKey == VK_F10;
  if (pressed) return system ? WM_SYSKEYDOWN : WM_KEYDOWN;
  return system ? WM_SYSKEYUP : WM_KEYUP;
}

uint32_t LeftButtonMessage(bool pressed, int clicks) {
  if (!pressed) return WM_LBUTTONUP;
  return clicks >= 2 && clicks % 2 == 0 ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
}

}  // namespace platform
