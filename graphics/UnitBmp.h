#pragma once
// The scene: what the reader sees in every frame. The current picture at the top-left, a wavy
// shade that fades its rows above the text band into black, and the current line of text.
//
// RenderFrame builds one frame and copies it onto the main window's paint box; the frame loop
// calls it about every 50 ms. The picture and text handlers of the story live here too, beside
// the state they change.

#include <string>

#include "graphics/ZelkBmp.h"
#include "script/ZelkScript.h"

namespace platform {
class TPaintBox;
}

// The finished frame, 320 x 280: the scene with the text on it.
extern TZelkBitmap* FrameBitmap;
// The picture with the shade applied, 320 x 280. Cleared to black once, when created: where the
// current picture does not reach, the previous frames' pixels stay (and keep darkening in the
// band).
extern TZelkBitmap* SceneBitmap;
// The current picture at its own size; 0 x 0 until the first one is loaded.
extern TZelkBitmap* ImageBitmap;
// The line of story text on display, in Shift-JIS.
extern std::string CurrentText;
// Where RenderFrame puts the frame: the main window's paint box, handed over by the window when
// it is built (this unit cannot see the window's unit, which is built on top of it).
extern platform::TPaintBox* FramePaintBox;

// Creates the three bitmaps: the frame white with the text style (14 px, italic, white), the
// scene black, the picture empty.
void CreateBitmaps();
void FreeBitmaps();

// Picture, shade, scene onto frame, text, frame onto the paint box. Allocates nothing of its own.
void RenderFrame();
// Darkens rows 240 - depth .. 239 of every column of the scene, depth 30..40 by a random walk.
void ApplyShade();
// Channel := Channel * Numerator div Denominator.
void ScaleChannel(uint8_t& Channel, int Numerator, int Denominator);

// The page handler: the page's first line becomes the current text. An empty page (a step after
// the story has ended) leaves the text as it is.
void OnTextPage(TStringDynArray Page);
// "#image name": loads "dat\name" into ImageBitmap; without a name, an error naming the line.
void OnImageCommand(TStringDynArray Tokens);
