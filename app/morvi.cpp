// The story player: plays dat/story.txt from the working folder, or from the folder named on the
// command line; --check and --walk read the story without opening a window or a sound device.

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "app/CommandLine.h"
#include "app/StoryCheck.h"
#include "app/StoryWalk.h"
#include "app/UnitCommon.h"
#include "app/UnitForm.h"
#include "platform/Application.h"

#ifndef MORVI_VERSION
#define MORVI_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  TCommandLine options;
  try {
    options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EUsageError& error) {
    std::cerr << "morvi: " << error.what() << "\nTry 'morvi --help' for more information.\n";
    return 2;
  }

  switch (options.Mode) {
    case TRunMode::Help:
      std::cout << UsageText();
      return 0;
    case TRunMode::Version:
      std::cout << "morvi " MORVI_VERSION "\n";
      return 0;
    default:
      break;
  }

  // Every name the story uses is relative to its folder, so the player starts there.
  if (!options.Folder.empty()) {
    std::error_code error;
    std::filesystem::current_path(options.Folder, error);
    if (error) {
      std::cerr << "morvi: cannot open the story folder '" << options.Folder
                << "': " << error.message() << '\n';
      return 2;
    }
  }

  if (options.Mode == TRunMode::Check) return CheckStory(std::cout).Errors > 0 ? 1 : 0;
  if (options.Mode == TRunMode::Walk) {
    return WalkStory(std::cout, options.Steps).Errors > 0 ? 1 : 0;
  }

  using platform::Application;
  TraceText = options.Trace;
  Application.Initialize(options.Scale);
  Application.Title = "morvi";
  Application.CreateForm(FormMain);
  return Application.Run();
}
