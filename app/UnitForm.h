#pragma once
// The main window: a 320 x 280 picture that advances the story when clicked.

#include "platform/Forms.h"
#include "shell/ZelkForm.h"

class TFormMain : public TZelkForm {
 public:
  explicit TFormMain(platform::TComponent* owner);
  ~TFormMain() override;

  // The picture; frames are copied onto it and its clicks step the story.
  platform::TPaintBox PntMain;
  // Its parent, dark grey where no frame has been copied yet.
  platform::TPanel PageMain;

  // Bound to both the click and the double-click of the picture: every press is one step.
  void PntMainClick(platform::TObject* Sender);
  // Space, Enter and the keypad's Enter step the story like a click.
  void FormMainKeyDown(platform::TObject* Sender, uint16_t& Key);
};

// The main window, once the application has made it.
extern TFormMain* FormMain;
