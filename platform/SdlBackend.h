#pragma once
// The backend of the real program: SDL2 video for windows and input, SDL's event queue for
// messages, SDL_GetTicks64 for the clock, SDL message boxes for error reports, and a short
// tone on the default audio device for the beep.

#include <memory>

#include "platform/Application.h"

namespace platform {

// Opens the display; raises std::runtime_error when SDL's video cannot start (no display).
std::unique_ptr<TBackend> CreateSdlBackend();

}  // namespace platform
