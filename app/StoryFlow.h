#pragma once
// How the player reads a stored story, for the tools that follow it without playing it: what
// each stored line is, and where a #goto leads. Both mirror the script engine's rules for this
// program's commands (#end, #goto, #midi, #image; one line of text a page).

#include <cstdint>
#include <string>

#include "script/ZelkScript.h"

enum class TLineKind { Empty, Label, End, Goto, Image, Midi, Text };

// The kind of a stored line, and its tokens (empty for empty and label lines).
TLineKind KindOfLine(const std::string& line, TStringDynArray& tokens);

// The reading position after the #goto at stored index GotoIndex with Target as its second
// token: the line of the label, or GotoIndex + 1 when the jump goes nowhere.
int32_t JumpTarget(const TScriptUnit& unit, int32_t gotoIndex, const std::string& target);

// The file name of a story, or of a file it names ("dat\x.bmp"), in UTF-8 as messages show it.
std::string ShownName(const std::string& name);
