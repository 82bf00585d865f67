#include "app/CommandLine.h"

#include <charconv>
#include <optional>

namespace {

// A whole decimal number within Low..High, or nothing.
std::optional<int64_t> Number(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine line;
  bool haveFolder = false;
  bool optionsEnded = false;
  bool modeGiven = false;
  bool scaleGiven = false;
  bool stepsGiven = false;

  const auto setMode = [&](TRunMode mode, const std::string& option) {
    if (modeGiven && line.Mode != mode) {
      throw EUsageError("'" + option + "' cannot be combined with the option before it");
    }
    modeGiven = true;
    line.Mode = mode;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      if (haveFolder) throw EUsageError("more than one folder given: '" + argument + "'");
      line.Folder = argument;
      haveFolder = true;
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" or "--name value" for the options that take a value.
    std::string name = argument;
    std::optional<std::string> value;
    if (const auto equals = argument.find('='); equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    }
    const auto takeValue = [&]() -> std::string {
      if (value) return *value;
      if (i + 1 >= arguments.size()) throw EUsageError("'" + name + "' needs a number after it");
      return arguments[++i];
    };
    const auto noValue = [&] {
      if (value) throw EUsageError("'" + name + "' takes no value");
    };

    if (name == "--help" || name == "-h") {
      noValue();
      setMode(TRunMode::Help, name);
    } else if (name == "--version") {
      noValue();
      setMode(TRunMode::Version, name);
    } else if (name == "--check") {
      noValue();
      setMode(TRunMode::Check, name);
    } else if (name == "--walk") {
      noValue();
      setMode(TRunMode::Walk, name);
    } else if (name == "--trace") {
      noValue();
      line.Trace = true;
    } else if (name == "--scale") {
      const std::string text = takeValue();
      const auto scale = Number(text, MinScale, MaxScale);
      if (!scale) {
        throw EUsageError("'--scale' needs a whole number from " + std::to_string(MinScale) +
                          " to " + std::to_string(MaxScale) + ", not '" + text + "'");
      }
      line.Scale = static_cast<int>(*scale);
      scaleGiven = true;
    } else if (name == "--steps") {
      const std::string text = takeValue();
      const auto steps = Number(text, 0, INT64_MAX);
      if (!steps)
        throw EUsageError("'--steps' needs a whole number of 0 or more, not '" + text + "'");
      line.Steps = *steps;
      stepsGiven = true;
    } else {
      throw EUsageError("unknown option '" + argument + "'");
    }
  }

  // Options that would silently do nothing are refused, so that a typo shows at once.
  const bool plays = line.Mode == TRunMode::Play;
  if (scaleGiven && !plays) throw EUsageError("'--scale' applies only when the story is played");
  if (line.Trace && !plays) throw EUsageError("'--trace' applies only when the story is played");
  if (stepsGiven && line.Mode != TRunMode::Walk) {
    throw EUsageError("'--steps' applies only to '--walk'");
  }
  return line;
}

std::string UsageText() {
  return "Usage: morvi [OPTION]... [FOLDER]\n"
         "Play the story in FOLDER (default: the current folder), which holds dat/story.txt.\n"
         "\n"
         "  --scale N    show the 320 x 280 picture N times larger (1 to 8, default 1)\n"
         "  --trace      print each line of text to stdout (UTF-8) as it is shown\n"
         "  --check      check the story without playing it and report its problems as\n"
         "               'dat/story.txt:LINE: error: ...' or '... warning: ...';\n"
         "               exit status 1 when there is an error\n"
         "  --walk       play the story without window or sound, as clicks would, and print\n"
         "               each line shown and each command carried out\n"
         "  --steps N    with --walk: stop after N steps (default 100000)\n"
         "  --help       show this help and exit\n"
         "  --version    show the version and exit\n"
         "\n"
         "Click the picture, or press Space or Enter, to read on.\n"
         "Exit status: 0 on success, 1 on an error in the story, 2 on a bad command line.\n";
}
