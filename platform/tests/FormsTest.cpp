#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/HeadlessBackend.h"

namespace platform {
namespace {

constexpr TColor kPanelColor = 0x444444;

// The main window's layout: a panel with no bevel covering the client area and a paint box on
// it, here smaller than the panel so both can be told apart.
class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner), Panel(this), Box(this) {
    SetClientWidth(320);
    SetClientHeight(280);
    Panel.SetParent(this);
    Panel.SetBounds(0, 0, 320, 280);
    Panel.Color = kPanelColor;
    Panel.BevelOuter = TBevelCut::bvNone;
    Box.SetParent(&Panel);
    Box.SetBounds(10, 20, 100, 80);
    Box.OnClick = [this](TObject* sender) {
      ++clicks;
      lastSender = sender;
    };
    Box.OnDblClick = [this](TObject*) { ++doubleClicks; };
  }
  TPanel Panel;
  TPaintBox Box;
  int clicks = 0;
  int doubleClicks = 0;
  TObject* lastSender = nullptr;
};

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override { backend = &UseHeadlessBackend(); }
  static THeadlessWindow& Native(TForm& form) {
    return dynamic_cast<THeadlessWindow&>(form.NativeWindow());
  }
  void Send(TForm& form, uint32_t msg, int x, int y) {
    TMessage message{msg, 0, MakeLParam(x, y), &form};
    Application.DispatchMessage(message);
  }
  // The colour of one presented pixel, red in the low byte as TColor has it.
  static TColor PixelAt(const THeadlessWindow& native, int x, int y) {
    const uint8_t* p = native.screen.ScanLine(y) + x * 3;
    return static_cast<TColor>(p[2]) | static_cast<TColor>(p[1]) << 8 |
           static_cast<TColor>(p[0]) << 16;
  }
  THeadlessBackend* backend = nullptr;
};

// Mouse sequences in client coordinates; the paint box spans x 10..109, y 20..99.
struct TMouseStep {
  uint32_t msg;
  int x;
  int y;
};
struct TMouseCase {
  const char* name;
  std::vector<TMouseStep> steps;
  int clicks;
  int doubleClicks;
};
void PrintTo(const TMouseCase& c, std::ostream* os) {
  *os << c.name;
}

class MouseTest : public FormsTest, public ::testing::WithParamInterface<TMouseCase> {};

TEST_P(MouseTest, ClickAndDoubleClickFollowThePlatformsRules) {
  TTestForm form(nullptr);
  for (const TMouseStep& step : GetParam().steps) Send(form, step.msg, step.x, step.y);
  EXPECT_EQ(form.clicks, GetParam().clicks);
  EXPECT_EQ(form.doubleClicks, GetParam().doubleClicks);
}

constexpr uint32_t kDown = WM_LBUTTONDOWN;
constexpr uint32_t kUp = WM_LBUTTONUP;
constexpr uint32_t kDbl = WM_LBUTTONDBLCLK;
constexpr uint32_t kMove = WM_MOUSEMOVE;

INSTANTIATE_TEST_SUITE_P(
    Cases, MouseTest,
    ::testing::Values(
        TMouseCase{"click", {{kDown, 50, 50}, {kUp, 50, 50}}, 1, 0},
        TMouseCase{"press_alone", {{kDown, 50, 50}}, 0, 0},
        TMouseCase{"release_outside", {{kDown, 50, 50}, {kMove, 200, 200}, {kUp, 200, 200}}, 0, 0},
        TMouseCase{
            "release_back_inside", {{kDown, 50, 50}, {kMove, 200, 200}, {kUp, 60, 60}}, 1, 0},
        TMouseCase{"press_on_panel_release_on_box", {{kDown, 200, 200}, {kUp, 50, 50}}, 0, 0},
        TMouseCase{"box_edge_is_inside", {{kDown, 10, 20}, {kUp, 109, 99}}, 1, 0},
        TMouseCase{"just_past_the_edge", {{kDown, 10, 20}, {kUp, 110, 99}}, 0, 0},
        TMouseCase{
            "double_click", {{kDown, 50, 50}, {kUp, 50, 50}, {kDbl, 50, 50}, {kUp, 50, 50}}, 1, 1},
        TMouseCase{"triple_click",
                   {{kDown, 50, 50},
                    {kUp, 50, 50},
                    {kDbl, 50, 50},
                    {kUp, 50, 50},
                    {kDown, 50, 50},
                    {kUp, 50, 50}},
                   2,
                   1},
        TMouseCase{"release_without_press", {{kUp, 50, 50}}, 0, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(FormsTest, ClickNamesThePaintBoxAsSender) {
  TTestForm form(nullptr);
  Send(form, kDown, 30, 30);
  Send(form, kUp, 30, 30);
  EXPECT_EQ(form.lastSender, &form.Box);
}

TEST_F(FormsTest, ClicksReachTheControlUnderThePointer) {
  TTestForm form(nullptr);
  int panelClicks = 0;
  form.Panel.OnClick = [&](TObject*) { ++panelClicks; };
  form.Box.SetVisible(false);

  Send(form, kDown, 50, 50);
  Send(form, kUp, 50, 50);

  EXPECT_EQ(form.clicks, 0) << "a hidden control takes no clicks";
  EXPECT_EQ(panelClicks, 1);
}

TEST_F(FormsTest, PanelColourShowsWhereNothingHasBeenCopied) {
  TTestForm form(nullptr);
  form.Show();
  Application.ProcessMessages();
  const THeadlessWindow& native = Native(form);
  ASSERT_EQ(native.presents, 1);

  TBitmap red;
  red.SetSize(50, 40);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 50; ++x) {
      uint8_t* p = red.ScanLine(y) + x * 3;
      p[0] = 0x00;
      p[1] = 0x00;
      p[2] = 0xFF;
    }
  }
  form.Box.Canvas().CopyFrom(5, 5, 50, 40, red.Canvas(), 0, 0);
  // The copy reaches the screen before the GUI thread next waits.
  Application.WaitMessage(0);
  ASSERT_EQ(native.presents, 2);

  struct TProbe {
    int x, y;
    TColor colour;
  };
  const TProbe probes[] = {{0, 0, kPanelColor},       // panel outside the box
                           {10, 20, kPanelColor},     // box, nothing copied there
                           {15, 25, 0x0000FF},        // first copied pixel
                           {64, 64, 0x0000FF},        // last copied pixel
                           {65, 64, kPanelColor},     // just right of the copy
                           {64, 65, kPanelColor},     // just below it
                           {319, 279, kPanelColor}};  // far corner
  for (const TProbe& probe : probes) {
    EXPECT_EQ(PixelAt(native, probe.x, probe.y), probe.colour) << probe.x << "," << probe.y;
  }

  // An exposed window is painted again from the same surfaces, not left grey.
  TMessage expose{WM_PAINT, 0, 0, &form};
  Application.DispatchMessage(expose);
  Application.ProcessMessages();
  EXPECT_EQ(native.presents, 3);
  EXPECT_EQ(PixelAt(native, 15, 25), 0x0000FFu);

  // Nothing changed, nothing presented.
  Application.ProcessMessages();
  EXPECT_EQ(native.presents, 3);
}

TEST_F(FormsTest, HiddenFormIsNotPresented) {
  TTestForm form(nullptr);
  TBitmap any;
  any.SetSize(4, 4);
  form.Box.Canvas().CopyFrom(0, 0, 4, 4, any.Canvas(), 0, 0);
  Application.ProcessMessages();
  EXPECT_EQ(Native(form).presents, 0);
}

TEST_F(FormsTest, RaisedBevelFramesThePanel) {
  TTestForm form(nullptr);
  form.Panel.BevelOuter = TBevelCut::bvRaised;
  form.Show();
  Application.ProcessMessages();
  const THeadlessWindow& native = Native(form);
  EXPECT_EQ(PixelAt(native, 0, 0), clBtnHighlight);
  EXPECT_EQ(PixelAt(native, 319, 279), clBtnShadow);
  EXPECT_EQ(PixelAt(native, 1, 1), kPanelColor);
}

TEST_F(FormsTest, ResizedPaintBoxKeepsWhatWasDrawn) {
  TTestForm form(nullptr);
  TBitmap source;
  source.SetSize(100, 80);
  form.Box.Canvas().CopyFrom(0, 0, 100, 80, source.Canvas(), 0, 0);  // black, all of it

  form.Box.SetBounds(0, 0, 320, 280);
  form.Show();
  Application.ProcessMessages();

  const THeadlessWindow& native = Native(form);
  EXPECT_EQ(PixelAt(native, 99, 79), clBlack);
  EXPECT_EQ(PixelAt(native, 100, 79), kPanelColor);
  EXPECT_EQ(PixelAt(native, 99, 80), kPanelColor);
}

TEST_F(FormsTest, ClosingTheMainWindowRequestsTermination) {
  TTestForm* main = nullptr;
  Application.CreateForm(main);
  ASSERT_NE(main, nullptr);
  TTestForm other(nullptr);
  other.Show();

  TMessage closeOther{WM_CLOSE, 0, 0, &other};
  Application.DispatchMessage(closeOther);
  EXPECT_EQ(backend->quitRequests, 0);
  EXPECT_FALSE(other.Visible());

  TMessage closeMain{WM_CLOSE, 0, 0, main};
  Application.DispatchMessage(closeMain);
  EXPECT_EQ(backend->quitRequests, 1);
  EXPECT_FALSE(Application.Terminated()) << "Terminate only posts the request";

  EXPECT_EQ(Application.Run(), 0);
  EXPECT_TRUE(Application.Terminated());
  EXPECT_EQ(Application.MainForm(), nullptr);
}

TEST_F(FormsTest, ErrorInAHandlerIsReportedAndDispatchGoesOn) {
  Application.Title = "morvi";
  TTestForm* main = nullptr;
  Application.CreateForm(main);
  main->Show();
  main->Box.OnClick = [](TObject*) { throw std::out_of_range("index 1 outside 0..0"); };
  backend->queue.push_back(TMessage{kDown, 0, MakeLParam(50, 50), main});
  backend->queue.push_back(TMessage{kUp, 0, MakeLParam(50, 50), main});
  backend->queue.push_back(TMessage{kDbl, 0, MakeLParam(50, 50), main});

  testing::internal::CaptureStderr();
  Application.ProcessMessages();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(main->doubleClicks, 1) << "the message after the failing one was dispatched";
  ASSERT_EQ(backend->messageBoxes.size(), 1u);
  EXPECT_EQ(backend->messageBoxes[0].title, "morvi");
  EXPECT_EQ(backend->messageBoxes[0].text, "index 1 outside 0..0");
  EXPECT_EQ(backend->messageBoxes[0].parent, &main->NativeWindow());
  EXPECT_EQ(err, "morvi: index 1 outside 0..0\n");
  Application.Terminate();
  Application.Run();
}

class TFailingForm : public TForm {
 public:
  explicit TFailingForm(TComponent* owner) : TForm(owner) {
    throw std::runtime_error("cannot load dat\\a.bmp\nsecond line");
  }
};

TEST_F(FormsTest, ErrorDuringStartUpIsReportedAndRunFails) {
  Application.Title = "morvi";
  TFailingForm* failing = nullptr;
  TTestForm* later = nullptr;

  testing::internal::CaptureStderr();
  Application.CreateForm(failing);
  Application.CreateForm(later);
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(failing, nullptr);
  EXPECT_EQ(later, nullptr) << "nothing more is created after a failed start";
  EXPECT_EQ(err, "morvi: cannot load dat\\a.bmp second line\n");
  ASSERT_EQ(backend->messageBoxes.size(), 1u);
  EXPECT_EQ(backend->messageBoxes[0].parent, nullptr) << "no window is shown yet";
  EXPECT_EQ(Application.Run(), 1);
}

TEST_F(FormsTest, MessagesForADestroyedWindowAreDropped) {
  auto form = std::make_unique<TTestForm>(nullptr);
  PostMessage(form.get(), WM_CLOSE, 0, 0);
  PostMessage(form.get(), kDown, 0, MakeLParam(50, 50));
  form.reset();

  Application.ProcessMessages();  // must not touch the freed form

  EXPECT_TRUE(backend->queue.empty());
  EXPECT_EQ(backend->quitRequests, 0);
}

TEST_F(FormsTest, ControlDestroyedDuringAPressLosesTheMouse) {
  TTestForm form(nullptr);
  auto extra = std::make_unique<TPaintBox>(nullptr);
  extra->SetParent(&form.Panel);
  extra->SetBounds(200, 200, 50, 50);
  Send(form, kDown, 210, 210);
  extra.reset();

  Send(form, kUp, 210, 210);  // must not reach the freed control
  Send(form, kDown, 50, 50);
  Send(form, kUp, 50, 50);
  EXPECT_EQ(form.clicks, 1);
}

TEST_F(FormsTest, ScreenIsTheBackendsPrimaryDisplay) {
  backend->screenWidth = 1280;
  backend->screenHeight = 1024;
  EXPECT_EQ(Screen.Width(), 1280);
  EXPECT_EQ(Screen.Height(), 1024);
}

TEST_F(FormsTest, FormPropertiesReachTheWindow) {
  TTestForm form(nullptr);
  form.SetCaption("morvi");
  form.SetBorderStyle(TBorderStyle::bsSingle);
  TBitmap icon;
  icon.SetSize(32, 32);
  form.SetIcon(icon);
  const THeadlessWindow& native = Native(form);
  EXPECT_EQ(native.caption, "morvi");
  EXPECT_TRUE(native.bordered);
  EXPECT_FALSE(native.resizable);
  EXPECT_EQ(native.iconWidth, 32);
}

TEST_F(FormsTest, HeadlessWaitWithoutLimitAndNothingScheduledFailsInsteadOfHanging) {
  EXPECT_THROW(backend->WaitMessage(INFINITE), std::logic_error);
  backend->Schedule(70, TMessage{WM_USER, 0, 0, nullptr});
  backend->WaitMessage(INFINITE);
  EXPECT_EQ(backend->now, 70u);
}

TEST(LParamTest, PositionsRoundTripIncludingNegativeOnes) {
  for (const auto& [x, y] : {std::pair{0, 0}, {319, 279}, {-5, 7}, {32767, -32768}}) {
    const int64_t lParam = MakeLParam(x, y);
    EXPECT_EQ(LParamX(lParam), x);
    EXPECT_EQ(LParamY(lParam), y);
  }
}

}  // namespace
}  // namespace platform
