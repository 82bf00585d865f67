#pragma once
// morvi --walk: plays the story of the current folder with the real script engine, as clicks
// would, without a window or sound, and prints its flow in UTF-8, one line each:
//
//   #image umi.jpg          a command carried out, as its tokens stand
//   #goto @matsubara
//   The sea was singing.    a line of text shown
//   error: dat/story.txt:7: dat/gone.jpg: ...   an error, as the player would report it
//   #end                    the end, or "(end: ...)" when the file's last line ends it
//
// Pictures are decoded as the player decodes them; music is named but not played.

#include <cstdint>
#include <ostream>

struct TWalkResult {
  int64_t Steps = 0;  // steps taken, the first (start-up) one included
  int Errors = 0;
  bool Ended = false;  // the story reached its end within the steps allowed
};

TWalkResult WalkStory(std::ostream& out, int64_t maxSteps);
