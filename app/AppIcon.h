#pragma once
// The program's own window icon, drawn in code: a full moon over a night sea.

#include <memory>

#include "platform/Bitmap.h"

std::unique_ptr<platform::TBitmap> MakeAppIcon();
