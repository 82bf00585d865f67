#pragma once
// How input from SDL becomes window messages: virtual-key codes as Windows numbers them, the
// key message a press or release gives, and the mouse message a left-button event gives.

#include <cstdint>

namespace platform {

inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_TAB = 0x09;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;  // Alt
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;
inline constexpr uint16_t VK_NEXT = 0x22;
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
inline constexpr uint16_t VK_INSERT = 0x2D;
inline constexpr uint16_t VK_DELETE = 0x2E;
inline constexpr uint16_t VK_F1 = 0x70;
inline constexpr uint16_t VK_F4 = 0x73;
inline constexpr uint16_t VK_F10 = 0x79;
inline constexpr uint16_t VK_F12 = 0x7B;

// The virtual-key code of an SDL key code (SDL_Keycode); 0 for keys the program has no use for.
uint16_t VirtualKeyFromSdl(int32_t sdlKey);

// WM_KEYDOWN/WM_KEYUP, or their system forms for Alt, F10 and any key pressed while Alt is held,
// as Windows sends them.
uint32_t KeyMessage(bool pressed, uint16_t virtualKey, bool altHeld);

// SDL counts the presses of a quick series (clicks); Windows makes every second one of such a
// series a double-click message instead of a press.
uint32_t LeftButtonMessage(bool pressed, int clicks);

}  // namespace platform
