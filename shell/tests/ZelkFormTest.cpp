#include "shell/ZelkForm.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/HeadlessBackend.h"

using platform::TMessage;

namespace {

struct TCentringCase {
  int32_t screen;
  int32_t window;
  int32_t position;
};

class CentringTest : public ::testing::TestWithParam<TCentringCase> {};

TEST_P(CentringTest, HalvesTheDifferenceTruncatingTowardZero) {
  EXPECT_EQ(CentredPosition(GetParam().screen, GetParam().window), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(Cases, CentringTest,
                         ::testing::Values(TCentringCase{1024, 331, 346},
                                           TCentringCase{1024, 1027, -1},  // not -2
                                           TCentringCase{768, 280, 244},
                                           TCentringCase{1024, 1025, 0}, TCentringCase{0, 0, 0},
                                           TCentringCase{INT32_MAX, INT32_MIN, INT32_MAX}));

class ZelkFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend = &platform::UseHeadlessBackend();
    backend->screenWidth = 1024;
    backend->screenHeight = 768;
    // A frame as a window manager might draw it: the outer size is what gets centred.
    backend->frame = platform::TFrameExtents{4, 27, 4, 4};
  }
  static platform::THeadlessWindow& Native(TZelkForm& form) {
    return dynamic_cast<platform::THeadlessWindow&>(form.NativeWindow());
  }
  platform::THeadlessBackend* backend = nullptr;
};

TEST_F(ZelkFormTest, DesignSizeReplacesTheStoredDesignAndTheWindowIsCentred) {
  platform::TFormDesign stored;
  stored.Left = 198;
  stored.Top = 178;
  stored.ClientWidth = 737;
  stored.ClientHeight = 510;

  TZelkForm form(nullptr, TDesignSize{320, 280}, stored);

  EXPECT_EQ(form.ClientWidth(), 320);
  EXPECT_EQ(form.ClientHeight(), 280);
  EXPECT_EQ(form.Width(), 328);
  EXPECT_EQ(form.Height(), 311);
  EXPECT_EQ(form.Left(), (1024 - 328) / 2);
  EXPECT_EQ(form.Top(), (768 - 311) / 2);
  const platform::THeadlessWindow& native = Native(form);
  EXPECT_EQ(native.left, form.Left());
  EXPECT_EQ(native.top, form.Top());
  EXPECT_EQ(native.clientWidth, 320);
  EXPECT_EQ(native.clientHeight, 280);
  EXPECT_FALSE(native.shown) << "constructing does not show the window";
}

TEST_F(ZelkFormTest, WithoutADesignSizeTheClientAreaIsEmpty) {
  platform::TFormDesign stored;
  stored.ClientWidth = 737;
  stored.ClientHeight = 510;

  TZelkForm form(nullptr, TDesignSize{}, stored);

  EXPECT_EQ(form.ClientWidth(), 0);
  EXPECT_EQ(form.ClientHeight(), 0);
  EXPECT_EQ(form.Left(), (1024 - 8) / 2);
}

TEST_F(ZelkFormTest, WindowWiderThanTheScreenGetsANegativePosition) {
  backend->frame = {};
  TZelkForm form(nullptr, TDesignSize{1027, 100});
  EXPECT_EQ(form.Left(), -1);
}

TEST_F(ZelkFormTest, SetDesignSizeAfterConstructionChangesNothingOnScreen) {
  TZelkForm form(nullptr, TDesignSize{320, 280});

  form.SetDesignSize(640, 480);

  EXPECT_EQ(form.DesignWidth(), 640);
  EXPECT_EQ(form.ClientWidth(), 320);
  EXPECT_EQ(Native(form).clientWidth, 320);
}

TEST_F(ZelkFormTest, FitPanelCoversTheClientArea) {
  TZelkForm form(nullptr, TDesignSize{320, 280});
  platform::TPanel panel(&form);
  panel.SetParent(&form);
  panel.SetBounds(5, 6, 7, 8);
  panel.SetVisible(false);

  form.FitPanel(panel, true);

  EXPECT_EQ(panel.Left(), 0);
  EXPECT_EQ(panel.Top(), 0);
  EXPECT_EQ(panel.Width(), 320);
  EXPECT_EQ(panel.Height(), 280);
  EXPECT_TRUE(panel.Visible());
  form.FitPanel(panel, false);
  EXPECT_FALSE(panel.Visible());
}

TEST_F(ZelkFormTest, StartLoopRunsTheProcedureOnlyWhenTheMessageIsDispatched) {
  static int runs = 0;
  runs = 0;
  TZelkForm form(nullptr, TDesignSize{320, 280});

  form.StartLoop([] { ++runs; });

  EXPECT_EQ(runs, 0);
  ASSERT_EQ(backend->queue.size(), 1u);
  EXPECT_EQ(backend->queue[0].Msg, 1034u);
  EXPECT_EQ(backend->queue[0].WParam, 0u);
  EXPECT_EQ(backend->queue[0].LParam, 0);
  platform::Application.ProcessMessages();
  EXPECT_EQ(runs, 1);
}

TEST_F(ZelkFormTest, LoopMessageWithoutAProcedureIsIgnored) {
  TZelkForm form(nullptr, TDesignSize{320, 280});
  platform::PostMessage(&form, WM_RUNLOOP, 0, 0);

  platform::Application.ProcessMessages();

  EXPECT_TRUE(backend->messageBoxes.empty());
}

// Key messages to the form and to a windowed control on it: Alt (18) and F10 (121) never reach
// a key handler, whatever the message; everything else does.
struct TKeyCase {
  const char* name;
  uint32_t msg;
  uint64_t key;
  bool toPanel;
  bool reachesHandler;
};
void PrintTo(const TKeyCase& c, std::ostream* os) {
  *os << c.name;
}

class KeySwallowTest : public ZelkFormTest, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(KeySwallowTest, OnlyAltAndF10AreSwallowed) {
  const TKeyCase& c = GetParam();
  TZelkForm form(nullptr, TDesignSize{320, 280});
  platform::TPanel panel(&form);
  panel.SetParent(&form);
  int handled = 0;
  auto countKey = [&](platform::TObject*, uint16_t&) { ++handled; };
  auto countChar = [&](platform::TObject*, char&) { ++handled; };
  for (platform::TWinControl* control :
       {static_cast<platform::TWinControl*>(&form), static_cast<platform::TWinControl*>(&panel)}) {
    control->OnKeyDown = countKey;
    control->OnKeyUp = countKey;
    control->OnKeyPress = countChar;
  }
  TMessage message{
      c.msg, c.key, 0,
      c.toPanel ? static_cast<platform::TWindow*>(&panel) : static_cast<platform::TWindow*>(&form)};

  platform::Application.DispatchMessage(message);

  EXPECT_EQ(handled, c.reachesHandler ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeySwallowTest,
    ::testing::Values(TKeyCase{"alt_down_form", platform::WM_KEYDOWN, 18, false, false},
                      TKeyCase{"alt_sysdown_panel", platform::WM_SYSKEYDOWN, 18, true, false},
                      TKeyCase{"alt_sysup_form", platform::WM_SYSKEYUP, 18, false, false},
                      TKeyCase{"f10_sysdown_form", platform::WM_SYSKEYDOWN, 121, false, false},
                      TKeyCase{"f10_up_panel", platform::WM_KEYUP, 121, true, false},
                      TKeyCase{"char_121_form", platform::WM_CHAR, 121, false, false},
                      TKeyCase{"f4_down_form", platform::WM_KEYDOWN, 115, false, true},
                      TKeyCase{"f4_down_panel", platform::WM_KEYDOWN, 115, true, true},
                      TKeyCase{"letter_up_form", platform::WM_KEYUP, 'A', false, true},
                      TKeyCase{"char_x_panel", platform::WM_CHAR, 'x', true, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(ZelkFormTest, WantChildKeyLooksOnlyAtWParam) {
  TZelkForm form(nullptr, TDesignSize{320, 280});
  TMessage anyNumber{9999, 121, 0, nullptr};
  TMessage other{platform::WM_KEYDOWN, 17, 0, nullptr};
  EXPECT_TRUE(form.WantChildKey(nullptr, anyNumber));
  EXPECT_FALSE(form.WantChildKey(&form, other));
}

}  // namespace
