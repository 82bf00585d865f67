#pragma once
// The backend of the real program: SDL2 video for windows and input, SDL's event queue for
// messages, SDL_GetTicks64 for the clock, SDL message boxes for error reports, and a short
// tone on the default audio device for the beep.

#include <memory>

#include "platform/Application.h"

namespace platform {

// Opens the display; raises std::runtime_error when SDL's video cannot start (no display).
// WindowScale (1 or more) enlarges what every window shows: a form keeps its client size, its
// window is WindowScale times as wide and high, each pixel is shown as a WindowScale x
// WindowScale block, and mouse positions are divided back, so forms never see the difference.
std::unique_ptr<TBackend> CreateSdlBackend(int windowScale = 1);

}  // namespace platform
