// The story player: plays dat/story.txt from the working folder.

#include "app/UnitForm.h"
#include "platform/Application.h"

int main() {
  using platform::Application;
  Application.Initialize();
  Application.Title = "morvi";
  Application.CreateForm(FormMain);
  return Application.Run();
}
