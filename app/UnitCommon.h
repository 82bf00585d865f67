#pragma once
// The objects of the running story, their start-up and teardown, and the music handler.

#include "music/ZelkMidi.h"
#include "script/ZelkScript.h"
#include "shell/ZelkForm.h"
#include "shell/ZelkTimer.h"

// The one music player.
extern TZelkMidi* StoryMidi;
// The interval-procedure registry, bound to the main window.
extern TZelkTimer* StoryTimer;
// The script engine holding "dat\story.txt".
extern TZelkScript* StoryScript;

// Creates and wires the story's objects in their fixed order and performs the first step, so
// the commands ahead of the first line have run and the first line is current before the
// window is shown.
void InitCommon(TZelkForm& Form);
// Frees the music player (stopping the music), the timer, the script and the bitmaps, in that
// order; objects never created are skipped.
void FreeCommon();

// "#midi name" plays "dat\name" in a loop; "#midi" alone stops the music.
void OnMidiCommand(TStringDynArray Tokens);

// Set before start-up to have every line of text also written to stdout, in UTF-8, as it is
// shown (for tools that follow the text, such as translation aids).
extern bool TraceText;
// The page handler used with TraceText: writes the line, flushed, then shows it.
void OnTracedTextPage(TStringDynArray Page);
