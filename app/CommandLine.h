#pragma once
// The program's command line: what to do, where, and how.
//
//   morvi [--scale N] [--trace] [FOLDER]      play the story in FOLDER (default: here)
//   morvi --check [FOLDER]                    report problems of the story, play nothing
//   morvi --walk [--steps N] [FOLDER]         play the story headless and print its flow
//   morvi --help | --version

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

enum class TRunMode { Play, Check, Walk, Help, Version };

struct TCommandLine {
  TRunMode Mode = TRunMode::Play;
  std::string Folder;  // empty: the current folder
  int Scale = 1;       // each story pixel becomes Scale x Scale pixels on screen
  bool Trace = false;  // print each line of text as it is shown
  int64_t Steps = 100'000;
};

// A command line that makes no sense; the message says why, without the program's name.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int MinScale = 1;
inline constexpr int MaxScale = 8;

// Reads the arguments after the program's name. Options may stand before or after the folder,
// and take their value as the next argument or after '=' (--scale=2); "--" ends the options.
// Raises EUsageError for an unknown option, a missing or bad value, a second folder, or options
// that do not go together.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string UsageText();
