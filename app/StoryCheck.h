#pragma once
// morvi --check: reads the story of the current folder without playing it, opening no window
// and no sound device, and reports what would go wrong or look wrong, compiler-style:
//
//   dat/story.txt:12: error: #goto @shore: no line holds the label @shore
//   dat/story.txt:30: warning: this line is 341 pixels wide; the text has room for 305 ...
//
// Errors are what the player would report as an error, or refuse to play; warnings are what
// plays, but not as its author most likely meant. Output is UTF-8.

#include <ostream>

struct TCheckResult {
  int Errors = 0;
  int Warnings = 0;
};

// Checks "dat\story.txt" and the files it names, writes one line per problem to Out, ordered by
// line, and a last line that counts them.
TCheckResult CheckStory(std::ostream& out);
