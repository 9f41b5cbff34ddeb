// The window framework on the headless backend: message tables, dialogs from templates, modal
// loops, frames with a client dialog, control colours, message boxes, timers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/ids.h"
#include "resources/templates.h"
#include "ui/controls.h"
#include "ui/dialog_template.h"
#include "ui/headless/headless.h"
#include "ui/window.h"

namespace hl = ui::headless;

namespace {

// The main dialog's template serves as a dialog with every kind of control the program uses.
class TableDialog : public ui::Dialog {
 public:
  explicit TableDialog(ui::Window* parent = nullptr, int templateId = res::kMainDialog)
      : ui::Dialog(parent, templateId) {}
  std::vector<std::string> calls;
  bool allowClose = true;
  bool CanClose() override {
    calls.push_back("CanClose");
    return allowClose;
  }
  void SetupWindow() override { calls.push_back("Setup"); }
  void CleanupWindow() override { calls.push_back("Cleanup"); }

 private:
  UI_BEGIN_MESSAGE_TABLE(TableDialog, ui::Dialog)
    UI_MESSAGE(ui::kWmTimer, OnTimer)
    UI_COMMAND(130, OnCut)
    UI_COMMAND_RANGE(113, 135, OnStep)
    UI_NOTIFY(146, ui::kCbnSelChange, OnDemux)
    UI_HSCROLL(147, OnScroll)
  UI_END_MESSAGE_TABLE()

  intptr_t OnTimer(ui::Message& m) {
    calls.push_back("Timer " + std::to_string(m.wParam));
    return 0;
  }
  void OnCut() { calls.push_back("Cut"); }
  void OnStep(int id) { calls.push_back("Step " + std::to_string(id)); }
  void OnDemux() { calls.push_back("Demux"); }
  void OnScroll(int code, int pos) { calls.push_back("Scroll " + std::to_string(code) + " " + std::to_string(pos)); }
};

class TestFrame : public ui::FrameWindow {
 public:
  explicit TestFrame(ui::Dialog* client) : ui::FrameWindow("KERF:TEST", "Test", client) {}
  int cleanups = 0;
  void CleanupWindow() override { ++cleanups; }
};

class TestApp : public ui::Application {
 public:
  explicit TestApp(ui::FrameWindow* frame) : frame_(frame) {}
  bool InitMainWindow() override {
    x_ = 10;
    y_ = 20;
    menuId_ = res::kMainMenu;
    SetMainWindow(frame_);
    return true;
  }

 private:
  ui::FrameWindow* frame_;
};

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
  }
  void TearDown() override { hl::reset(); }
};

}  // namespace

TEST_F(Framework, DialogFromTemplateHasEveryControlWithItsTextAndPlace) {
  TableDialog d;
  ASSERT_TRUE(d.Create());
  const ui::DialogTemplate* t = ui::dialog_template(res::kMainDialog);
  ASSERT_NE(t, nullptr);
  int addressed = 0;
  for (size_t i = 0; i < t->controlCount; ++i) {
    const ui::ControlTemplate& c = t->controls[i];
    if (c.id == ui::kNoId) continue;
    ++addressed;
    hl::WindowState* s = hl::control(d.handle(), c.id);
    ASSERT_NE(s, nullptr) << "control " << c.id;
    EXPECT_EQ(s->control.kind, c.kind) << c.id;
    EXPECT_EQ(s->text, c.text != nullptr ? c.text : "") << c.id;
    EXPECT_EQ(s->control.units, (ui::Rect{c.x, c.y, c.x + c.cx, c.y + c.cy})) << c.id;
    EXPECT_TRUE(s->visible && s->enabled) << c.id;
  }
  EXPECT_EQ(addressed, 57);
  EXPECT_EQ(d.calls.front(), "Setup");
}

TEST_F(Framework, DialogsAndMenusAreThoseTheProgramRegistered) {
  ui::register_templates({}, {});
  TableDialog unknown;
  EXPECT_FALSE(unknown.Create());
  EXPECT_EQ(TableDialog(nullptr, res::kAboutDialog).Execute(), -1);
  EXPECT_EQ(ui::menu_template(res::kMainMenu), nullptr);

  ui::register_templates(res::dialog_templates(), res::menu_templates());
  TableDialog known;
  EXPECT_TRUE(known.Create());
  const ui::MenuTemplate* menu = ui::menu_template(res::kMainMenu);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->count, 8u);
  EXPECT_EQ(ui::dialog_template(12345), nullptr);
}

TEST_F(Framework, MessageTableRoutesCommandsNotificationsScrollsAndMessages) {
  TableDialog d;
  ASSERT_TRUE(d.Create());
  ui::Handle h = d.handle();
  d.calls.clear();
  hl::click(h, 130);
  hl::click(h, 113);
  hl::click(h, 135);
  hl::choose(h, 146, 0);  // list is empty: selection cleared, notification still sent
  hl::scroll(h, 147, ui::kSbThumbTrack, 300);
  hl::send(h, ui::kWmTimer, 4, 0);
  // A notification other than a click does not run a command row.
  hl::send(h, ui::kWmCommand, ui::make_command(130, ui::kEnChange), 0);
  EXPECT_EQ(d.calls, (std::vector<std::string>{"Cut", "Step 113", "Step 135", "Demux", "Scroll 5 300", "Timer 4"}));
}

TEST_F(Framework, DisabledControlsCannotBeOperated) {
  TableDialog d;
  ASSERT_TRUE(d.Create());
  d.EnableItem(130, false);
  d.calls.clear();
  hl::click(d.handle(), 130);
  EXPECT_TRUE(d.calls.empty());
  EXPECT_FALSE(ui::is_enabled(d.Item(130)));
}

TEST_F(Framework, ModalDialogReturnsTheCodeOfItsButtonAndDisablesItsOwner) {
  TableDialog owner;
  ASSERT_TRUE(owner.Create());
  bool ownerEnabledInside = true;
  hl::set_modal_hook([&](ui::Dialog& dlg) {
    ownerEnabledInside = ui::is_enabled(owner.handle());
    hl::click(dlg.handle(), ui::kIdOk);
  });
  TableDialog modal(&owner, res::kAboutDialog);
  EXPECT_EQ(modal.Execute(), ui::kIdOk);
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_TRUE(ui::is_enabled(owner.handle()));
  EXPECT_EQ(modal.handle(), 0u);  // the window is gone, the object detached
  EXPECT_EQ(modal.calls, (std::vector<std::string>{"Setup", "CanClose", "Cleanup"}));
}

TEST_F(Framework, RefusedCloseKeepsModalDialogRunning) {
  TableDialog modal(nullptr, res::kAboutDialog);
  modal.allowClose = false;
  bool stillOpen = false;
  hl::set_modal_hook([&](ui::Dialog& dlg) {
    hl::close_window(dlg.handle());
    hl::click(dlg.handle(), ui::kIdCancel);
    stillOpen = dlg.handle() != 0 && !hl::find(dlg.handle())->ended;
    modal.allowClose = true;
    hl::click(dlg.handle(), ui::kIdCancel);
  });
  EXPECT_EQ(modal.Execute(), ui::kIdCancel);
  EXPECT_TRUE(stillOpen);
}

TEST_F(Framework, ModalLoopRunsTimersAndPostedMessagesUntilTheDialogEnds) {
  // A dialog that closes itself from a timer, as the logo does: virtual time moves on to it.
  class SelfClosing : public ui::Dialog {
   public:
    SelfClosing() : ui::Dialog(nullptr, res::kLogoDialog) {}
    void SetupWindow() override { SetTimer(7, 1500); }
    UI_BEGIN_MESSAGE_TABLE(SelfClosing, ui::Dialog)
      UI_MESSAGE(ui::kWmTimer, OnTimer)
    UI_END_MESSAGE_TABLE()
    intptr_t OnTimer(ui::Message&) {
      KillTimer(7);
      PostMessage(ui::kWmClose);
      return 0;
    }
  };
  uint64_t start = hl::now_ms();
  SelfClosing d;
  EXPECT_EQ(d.Execute(), ui::kIdCancel);
  EXPECT_EQ(hl::now_ms() - start, 1500u);
}

TEST_F(Framework, TimersFireAtTheirPeriodUntilKilled) {
  TableDialog d;
  ASSERT_TRUE(d.Create());
  d.calls.clear();
  d.SetTimer(3, 100);
  hl::advance(99);
  EXPECT_TRUE(d.calls.empty());
  hl::advance(1);
  hl::advance(200);
  EXPECT_EQ(d.calls, (std::vector<std::string>{"Timer 3", "Timer 3", "Timer 3"}));
  d.KillTimer(3);
  hl::advance(1000);
  EXPECT_EQ(d.calls.size(), 3u);
  EXPECT_FALSE(hl::has_timer(d.handle(), 3));
}

TEST_F(Framework, EveryDialogAnswersControlColoursWithItsOwnTwoBrushes) {
  TableDialog a, b;
  ASSERT_TRUE(a.Create());
  ASSERT_TRUE(b.Create());
  intptr_t aDialog = hl::send(a.handle(), ui::kWmCtlColorDlg, 0, 0);
  intptr_t aStatic = hl::send(a.handle(), ui::kWmCtlColorStatic, 0, 0);
  intptr_t aEdit = hl::send(a.handle(), ui::kWmCtlColorEdit, 0, 0);
  intptr_t bDialog = hl::send(b.handle(), ui::kWmCtlColorDlg, 0, 0);
  EXPECT_NE(aDialog, 0);
  EXPECT_NE(aStatic, 0);
  EXPECT_NE(aDialog, aStatic);
  EXPECT_EQ(aStatic, aEdit);
  EXPECT_NE(aDialog, bDialog);
}

TEST_F(Framework, FrameFitsItsClientRoutesMenuCommandsAndClosesWithTheClientsConsent) {
  TableDialog client;
  TestFrame frame(&client);
  TestApp app(&frame);
  ASSERT_TRUE(app.Start());
  ui::Rect f = frame.GetWindowRect(), c = frame.GetClientRect(), d = client.GetWindowRect();
  EXPECT_EQ(c.width(), d.width());
  EXPECT_EQ(c.height(), d.height());
  EXPECT_EQ(f.left, 10);
  EXPECT_EQ(f.top, 20);
  EXPECT_TRUE(ui::is_visible(frame.handle()));
  EXPECT_TRUE(ui::is_visible(client.handle()));

  client.calls.clear();
  hl::menu_command(frame.handle(), 130);
  EXPECT_EQ(client.calls, (std::vector<std::string>{"Cut"}));

  client.allowClose = false;
  hl::close_window(frame.handle());
  EXPECT_NE(frame.handle(), 0u);
  EXPECT_EQ(frame.cleanups, 0);
  EXPECT_FALSE(hl::quit_requested());

  client.allowClose = true;
  hl::click(client.handle(), ui::kIdCancel);  // the client's own close button ends the frame
  EXPECT_EQ(frame.handle(), 0u);
  EXPECT_EQ(client.handle(), 0u);
  EXPECT_EQ(frame.cleanups, 1);
  EXPECT_TRUE(hl::quit_requested());
}

TEST_F(Framework, MessageBoxesTakeScriptedAnswersAndAreRecorded) {
  hl::answer_next_box(ui::kIdYes);
  EXPECT_EQ(ui::message_box(5, "上書きしますか?", ui::BoxKind::Question), ui::kIdYes);
  EXPECT_EQ(ui::message_box(5, "もう一度?", ui::BoxKind::Question), ui::kIdNo);
  EXPECT_EQ(ui::message_box(6, "エラーです", ui::BoxKind::Error), ui::kIdOk);
  EXPECT_EQ(ui::message_box(6, "終わりました", ui::BoxKind::Information), ui::kIdOk);
  const auto& boxes = hl::message_boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].caption, "確認");
  EXPECT_TRUE(boxes[0].scripted);
  EXPECT_FALSE(boxes[1].scripted);
  EXPECT_EQ(boxes[2].caption, "エラー");
  EXPECT_EQ(boxes[2].owner, 6u);
  EXPECT_EQ(boxes[3].caption, "情報");
  EXPECT_EQ(boxes[3].text, "終わりました");
}

TEST_F(Framework, ListsScrollBarsAndButtonsKeepTheirState) {
  TableDialog d;
  ASSERT_TRUE(d.Create());
  ui::ComboBox list(&d, 146);
  EXPECT_EQ(list.AddString("一"), 0);
  EXPECT_EQ(list.AddString("二"), 1);
  list.SetSelIndex(1);
  char buf[8];
  list.GetString(1, buf, sizeof buf);
  EXPECT_STREQ(buf, "二");
  list.SetSelIndex(5);  // outside the list: no selection, as CB_SETCURSEL
  EXPECT_EQ(list.GetSelIndex(), -1);
  list.GetString(7, buf, sizeof buf);
  EXPECT_STREQ(buf, "");

  ui::ScrollBar bar(&d, 147);
  bar.SetRange(0, 629);
  bar.SetPosition(700);
  EXPECT_EQ(bar.GetPosition(), 629);
  bar.SetPosition(-3);
  EXPECT_EQ(bar.GetPosition(), 0);

  ui::Edit edit(&d, 102);
  edit.SetText("C:\\ＴＳ\\長い名前.ts");
  char small[6];
  EXPECT_EQ(edit.GetText(small, sizeof small), 5u);  // truncated, always terminated
  EXPECT_STREQ(small, "C:\\\x82\x73");
  char smaller[5];  // room for the first byte of Ｔ only: the character is left out whole
  EXPECT_EQ(edit.GetText(smaller, sizeof smaller), 3u);
  EXPECT_STREQ(smaller, "C:\\");
}

TEST_F(Framework, OwnedFrameGoesWithItsOwner) {
  TableDialog ownerClient;
  TestFrame owner(&ownerClient);
  TestApp app(&owner);
  ASSERT_TRUE(app.Start());
  TestFrame owned(nullptr);
  owned.SetParent(&owner);
  ASSERT_TRUE(owned.Create(0, 0, 0, 0, 0));
  EXPECT_EQ(hl::find(owned.handle())->parent, owner.handle());
  hl::click(ownerClient.handle(), ui::kIdCancel);
  EXPECT_EQ(owned.handle(), 0u);
  EXPECT_EQ(owned.cleanups, 1);
  EXPECT_EQ(owner.cleanups, 1);
}

TEST_F(Framework, ModalDialogThatNothingEndsIsGivenUpInsteadOfHanging) {
  TableDialog ticking;
  ASSERT_TRUE(ticking.Create());
  ticking.SetTimer(1, 200);  // another window's periodic timer keeps virtual time going
  TableDialog modal(nullptr, res::kAboutDialog);
  EXPECT_EQ(modal.Execute(), ui::kIdCancel);
  EXPECT_GE(hl::now_ms(), 600000u);
}
