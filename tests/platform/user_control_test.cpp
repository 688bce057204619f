#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/platform/ui/signal.h"

namespace quillmont::ui {
namespace {

// A panel shaped like the editor's: fields in a frame, buttons below.
//   lblHost(0) txtHost(1) fraOptions(2)[ lblPort(1) txtPort(2) cboVersion(0) ] cmdApply(3) cmdDelete(4)
struct FormPanel {
  UserControl panel{"ucForm"};
  std::shared_ptr<Label> lblHost = panel.Add<Label>("lblHost", "&Host:");
  std::shared_ptr<TextBox> txtHost = panel.Add<TextBox>("txtHost");
  std::shared_ptr<Frame> fraOptions = panel.Add<Frame>("fraOptions", "&Options");
  std::shared_ptr<Label> lblPort = fraOptions->Add<Label>("lblPort", "&Port:");
  std::shared_ptr<TextBox> txtPort = fraOptions->Add<TextBox>("txtPort");
  std::shared_ptr<ComboBox> cboVersion = fraOptions->Add<ComboBox>("cboVersion");
  std::shared_ptr<CommandButton> cmdApply = panel.Add<CommandButton>("cmdApply", "&Apply");
  std::shared_ptr<CommandButton> cmdDelete = panel.Add<CommandButton>("cmdDelete", "&Delete");
  Driver driver{panel};
  int applied = 0;
  int deleted = 0;

  FormPanel() {
    lblHost->SetTabIndex(0);
    txtHost->SetTabIndex(1);
    fraOptions->SetTabIndex(2);
    cboVersion->SetTabIndex(0);
    lblPort->SetTabIndex(1);
    txtPort->SetTabIndex(2);
    cmdApply->SetTabIndex(3);
    cmdDelete->SetTabIndex(4);
    cboVersion->AddItem("SNMP v1");
    cmdApply->Click.Connect([this] { ++applied; });
    cmdDelete->Click.Connect([this] { ++deleted; });
  }
  std::string Active() const { return panel.ActiveControl() ? panel.ActiveControl()->Name() : "(none)"; }
  // The names Tab (or Shift+Tab) visits, starting from the current focus.
  std::vector<std::string> Walk(int steps, bool backwards = false) {
    std::vector<std::string> names;
    for (int i = 0; i < steps; ++i) {
      driver.Tab(backwards);
      names.push_back(Active());
    }
    return names;
  }
};

using Names = std::vector<std::string>;

TEST(UserControl, TabWalksTheTabOrderThroughFramesAndSkipsWhatCannotTakeTheFocus) {
  FormPanel f;
  EXPECT_EQ(f.panel.Find("txtPort"), f.txtPort.get());
  EXPECT_EQ(f.panel.Find("nothing"), nullptr);
  EXPECT_EQ(f.txtPort->Root(), &f.panel);

  EXPECT_EQ(f.Walk(6), (Names{"txtHost", "cboVersion", "txtPort", "cmdApply", "cmdDelete", "txtHost"}));
  EXPECT_EQ(f.Walk(2, true), (Names{"cmdDelete", "cmdApply"}));

  f.cmdApply->SetEnabled(false);
  f.txtPort->SetTabStop(false);
  f.cboVersion->SetVisible(false);
  f.driver.Focus(*f.txtHost);
  EXPECT_EQ(f.Walk(3), (Names{"cmdDelete", "txtHost", "cmdDelete"}));

  // A disabled or hidden frame takes its children out of the walk.
  f.cboVersion->SetVisible(true);
  f.fraOptions->SetEnabled(false);
  f.driver.Focus(*f.txtHost);
  EXPECT_EQ(f.Walk(2), (Names{"cmdDelete", "txtHost"}));
  f.fraOptions->SetEnabled(true);
  f.fraOptions->SetVisible(false);
  EXPECT_EQ(f.Walk(1), Names{"cmdDelete"});
}

TEST(UserControl, FocusMovesRaiseLostFocusThenGotFocus) {
  FormPanel f;
  std::vector<std::string> events;
  for (Control* c : std::vector<Control*>{f.txtHost.get(), f.txtPort.get()}) {
    c->GotFocus.Connect([&events, c] { events.push_back(c->Name() + ".GotFocus"); });
    c->LostFocus.Connect([&events, c] { events.push_back(c->Name() + ".LostFocus"); });
  }
  f.txtHost->SetFocus();
  f.txtHost->SetFocus();  // already there: nothing
  f.driver.Focus(*f.txtPort);
  EXPECT_EQ(events, (Names{"txtHost.GotFocus", "txtHost.LostFocus", "txtPort.GotFocus"}));
  EXPECT_TRUE(f.txtPort->HasFocus());
  EXPECT_FALSE(f.txtHost->HasFocus());
}

TEST(UserControl, SetFocusOnAControlThatCannotTakeItIsAnErrorAndMovesNothing) {
  FormPanel f;
  f.txtHost->SetFocus();
  TextBox loose("txtLoose");  // in no panel
  f.txtPort->SetEnabled(false);
  f.cboVersion->SetVisible(false);
  f.cmdDelete->SetVisible(false);
  for (Control* c : std::vector<Control*>{f.lblHost.get(), f.fraOptions.get(), f.txtPort.get(), f.cboVersion.get(),
                                          f.cmdDelete.get(), &loose}) {
    try {
      c->SetFocus();
      ADD_FAILURE() << c->Name() << " took the focus";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::InvalidProcedureCall) << c->Name();
    }
    EXPECT_FALSE(f.driver.Focus(*c)) << c->Name();
    EXPECT_EQ(f.Active(), "txtHost");
  }
  // Enabled again, but inside a hidden frame.
  f.txtPort->SetEnabled(true);
  f.fraOptions->SetVisible(false);
  EXPECT_THROW(f.txtPort->SetFocus(), Error);
  EXPECT_EQ(f.Active(), "txtHost");
  // The panel's own visibility is the host's business: a panel on a hidden page still takes focus moves.
  f.fraOptions->SetVisible(true);
  f.panel.SetVisible(false);
  EXPECT_NO_THROW(f.txtPort->SetFocus());
  EXPECT_EQ(f.Active(), "txtPort");
}

TEST(UserControl, AccessKeysFocusTheControlAfterALabelAndPressButtons) {
  FormPanel f;
  EXPECT_EQ(f.lblHost->AccessKey(), 'H');
  EXPECT_TRUE(f.driver.AccessKey('p'));
  EXPECT_EQ(f.Active(), "txtPort");
  EXPECT_TRUE(f.driver.AccessKey('H'));
  EXPECT_EQ(f.Active(), "txtHost");
  EXPECT_TRUE(f.driver.AccessKey('o'));  // a frame's key: its first control
  EXPECT_EQ(f.Active(), "cboVersion");

  EXPECT_TRUE(f.driver.AccessKey('a'));
  EXPECT_EQ(f.Active(), "cmdApply");
  EXPECT_EQ(f.applied, 1);

  // Nothing answers a disabled button, an unknown letter or a literal '&&'.
  f.cmdDelete->SetEnabled(false);
  EXPECT_FALSE(f.driver.AccessKey('d'));
  EXPECT_EQ(f.deleted, 0);
  EXPECT_FALSE(f.driver.AccessKey('z'));
  f.cmdDelete->SetCaption("Save && &Close");
  EXPECT_EQ(f.cmdDelete->AccessKey(), 'C');
  f.cmdDelete->SetCaption("Save && Close");
  EXPECT_EQ(f.cmdDelete->AccessKey(), 0);
  EXPECT_EQ(f.Active(), "cmdApply");

  // A label whose next control cannot take the focus hands it on to the one after.
  f.txtPort->SetEnabled(false);
  EXPECT_TRUE(f.driver.AccessKey('p'));
  EXPECT_EQ(f.Active(), "cmdApply");
  // A hidden label answers nothing.
  f.lblHost->SetVisible(false);
  EXPECT_FALSE(f.driver.AccessKey('h'));
}

TEST(UserControl, KeyPreviewLetsThePanelSeeEachKeyFirstAndSwallowIt) {
  FormPanel f;
  std::vector<std::string> seen;
  f.panel.KeyDown.Connect([&](KeyEventArgs& e) { seen.push_back("panel.KeyDown " + std::to_string(e.KeyCode)); });
  f.panel.KeyPress.Connect([&](KeyPressArgs& e) { seen.push_back("panel.KeyPress " + std::to_string(e.KeyAscii)); });
  f.panel.KeyUp.Connect([&](KeyEventArgs& e) { seen.push_back("panel.KeyUp " + std::to_string(e.KeyCode)); });
  f.txtPort->KeyDown.Connect([&](KeyEventArgs& e) { seen.push_back("txtPort.KeyDown " + std::to_string(e.KeyCode)); });
  f.txtPort->KeyPress.Connect(
      [&](KeyPressArgs& e) { seen.push_back("txtPort.KeyPress " + std::to_string(e.KeyAscii)); });
  f.txtPort->KeyUp.Connect([&](KeyEventArgs& e) { seen.push_back("txtPort.KeyUp " + std::to_string(e.KeyCode)); });
  f.driver.Focus(*f.txtPort);

  // Without key preview the panel sees nothing.
  f.driver.Type("1");
  EXPECT_EQ(seen, (Names{"txtPort.KeyDown 49", "txtPort.KeyPress 49", "txtPort.KeyUp 49"}));

  seen.clear();
  f.panel.SetKeyPreview(true);
  f.driver.PressKey(keys::Return);
  EXPECT_EQ(seen, (Names{"panel.KeyDown 13", "txtPort.KeyDown 13", "panel.KeyPress 13", "txtPort.KeyPress 13",
                         "panel.KeyUp 13", "txtPort.KeyUp 13"}));

  // The panel swallows digits as they are pressed and a Delete as it goes down.
  f.panel.KeyPress.Connect([](KeyPressArgs& e) {
    if (e.KeyAscii == '2') e.KeyAscii = 0;
  });
  f.panel.KeyDown.Connect([](KeyEventArgs& e) {
    if (e.KeyCode == keys::Delete) e.KeyCode = 0;
  });
  seen.clear();
  f.driver.Type("23");
  f.driver.PressKey(keys::Home);
  f.driver.PressKey(keys::Delete);
  EXPECT_EQ(f.txtPort->Text(), "13");
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "txtPort.KeyPress 50"), 0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "txtPort.KeyPress 51"), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "txtPort.KeyDown 46"), 0);

  // The control's own handler swallows a character the same way.
  f.txtPort->KeyPress.Connect([](KeyPressArgs& e) {
    if (e.KeyAscii == 'x') e.KeyAscii = 0;
  });
  f.driver.Type("x4");
  EXPECT_EQ(f.txtPort->Text(), "413");  // the caret was at the start
}

TEST(UserControl, DisabledAndHiddenControlsIgnoreTheUserButNotTheProgram) {
  FormPanel f;
  f.driver.TypeInto(*f.txtHost, "a");
  f.txtHost->SetEnabled(false);
  EXPECT_FALSE(f.driver.Type("b"));
  f.driver.PressKey(keys::Back);
  EXPECT_FALSE(f.driver.TypeInto(*f.txtHost, "c"));
  EXPECT_FALSE(f.driver.Paste("d"));
  EXPECT_FALSE(f.driver.ClearText());
  EXPECT_EQ(f.txtHost->Text(), "a");
  f.txtHost->SetText("set by the program");
  EXPECT_EQ(f.txtHost->Text(), "set by the program");

  f.cmdApply->SetVisible(false);
  f.cmdDelete->SetEnabled(false);
  EXPECT_FALSE(f.driver.Click(*f.cmdApply));
  EXPECT_FALSE(f.driver.Click(*f.cmdDelete));
  EXPECT_EQ(f.applied + f.deleted, 0);

  f.fraOptions->SetEnabled(false);  // disables what it holds
  EXPECT_FALSE(f.driver.Choose(*f.cboVersion, "SNMP v1"));
  EXPECT_FALSE(f.driver.TypeInto(*f.txtPort, "1"));
  EXPECT_EQ(f.cboVersion->ListIndex(), -1);
  EXPECT_FALSE(f.cboVersion->IsEffectivelyEnabled());
  EXPECT_TRUE(f.cboVersion->Enabled());

  // A focused button pressed with Enter or Space clicks; the focus stays.
  f.cmdDelete->SetEnabled(true);
  EXPECT_TRUE(f.driver.Click(*f.cmdDelete));
  f.driver.PressKey(keys::Return);
  f.driver.PressKey(keys::Space);
  EXPECT_EQ(f.deleted, 3);
  EXPECT_EQ(f.Active(), "cmdDelete");
}

TEST(UserControl, PopupMenusOpenCloseAndClickOnlyEnabledVisibleItems) {
  UserControl panel("ucMenu");
  Driver driver(panel);
  auto menu = panel.AddPopupMenu("mnuPopup", "Popup");
  auto itemDelete = menu->AddItem("mnuPopupDelete", "&Delete");
  auto itemNew = menu->AddItem("mnuPopupNew", "&New");
  std::vector<std::string> clicked;
  itemDelete->Click.Connect([&] {
    clicked.push_back("delete");
    EXPECT_EQ(panel.OpenPopupMenu(), nullptr) << "the menu closes before its item runs";
  });
  itemNew->Click.Connect([&] { clicked.push_back("new"); });
  std::vector<float> shownAt;
  panel.PopupShown.Connect([&](PopupMenu& m, float x, float y) {
    EXPECT_EQ(&m, menu.get());
    shownAt = {x, y};
  });

  EXPECT_FALSE(driver.ChooseMenuItem("&Delete"));  // no menu open
  panel.ShowPopupMenu(*menu, 120, 45.5f);
  EXPECT_EQ(panel.OpenPopupMenu(), menu.get());
  EXPECT_EQ(shownAt, (std::vector<float>{120, 45.5f}));

  itemDelete->SetEnabled(false);
  itemNew->SetVisible(false);
  EXPECT_FALSE(driver.ChooseMenuItem("&Delete"));
  EXPECT_FALSE(driver.ChooseMenuItem("&New"));
  EXPECT_FALSE(driver.ChooseMenuItem("&Missing"));
  EXPECT_EQ(panel.OpenPopupMenu(), menu.get());  // still open after a refused pick
  itemDelete->SetEnabled(true);
  EXPECT_TRUE(driver.ChooseMenuItem("&Delete"));
  EXPECT_FALSE(driver.ChooseMenuItem("&Delete"));  // closed now

  panel.ShowPopupMenu(*menu);
  driver.DismissMenu();
  EXPECT_EQ(panel.OpenPopupMenu(), nullptr);
  EXPECT_EQ(clicked, Names{"delete"});
}

TEST(UserControl, ResizeFollowsEachChangeOfSizeOnly) {
  UserControl panel("ucResize");
  Driver driver(panel);
  std::vector<std::pair<float, float>> sizes;
  panel.Resize.Connect([&] { sizes.emplace_back(panel.Width(), panel.Height()); });
  driver.Resize(6000, 3757.5f);
  driver.Resize(6000, 3757.5f);
  driver.Resize(6000, 4000);
  driver.Resize(1427.5f, 4000);
  EXPECT_THROW(driver.Resize(-1, 4000), Error);
  EXPECT_EQ(panel.Width(), 1427.5f);
  EXPECT_EQ(panel.Height(), 4000);
  driver.Resize(0, 0);
  EXPECT_EQ(sizes, (std::vector<std::pair<float, float>>{{6000, 3757.5f}, {6000, 4000}, {1427.5f, 4000}, {0, 0}}));
}

TEST(UserControl, ACompositeHandsTheFocusToItsFirstControlThatCanTakeIt) {
  UserControl panel("ucComposite");
  auto before = panel.Add<TextBox>("txtBefore");
  auto selector = panel.Add<Composite>("xEvents");
  auto available = selector->Add<ListView>("lvwAvailable");
  auto choose = selector->Add<CommandButton>("cmdChoose", "&Choose");
  Driver driver(panel);

  selector->SetFocus();
  EXPECT_TRUE(available->HasFocus());
  available->SetEnabled(false);
  selector->SetFocus();
  EXPECT_TRUE(choose->HasFocus());

  // Tab walks into the composite's parts, never stops on the composite itself.
  before->SetFocus();
  driver.Tab();
  EXPECT_TRUE(choose->HasFocus());
  driver.Tab();
  EXPECT_TRUE(before->HasFocus());

  choose->SetEnabled(false);
  EXPECT_FALSE(selector->IsFocusable());
  EXPECT_THROW(selector->SetFocus(), Error);
  EXPECT_TRUE(before->HasFocus());
}

TEST(Container, RefusesNullAndControlsThatAlreadyHaveAContainer) {
  UserControl panel("ucOwner");
  auto box = panel.Add<TextBox>("txtOwned");
  Frame other("fraOther");
  try {
    other.AddChild(box);
    ADD_FAILURE() << "a control went into two containers";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::InvalidProcedureCall);
  }
  try {
    other.AddChild(nullptr);
    ADD_FAILURE() << "null was added";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::ObjectRequired);
  }
  EXPECT_TRUE(other.Children().empty());
  EXPECT_EQ(box->Parent(), &panel);
}

TEST(Signal, CallsTheHandlersPresentWhenRaisedInOrderAndPassesErrorsOn) {
  Signal<int&> signal;
  std::vector<std::string> calls;
  int lateId = 0;
  const int first = signal.Connect([&](int& v) {
    calls.push_back("first " + std::to_string(v));
    ++v;
    if (!lateId) lateId = signal.Connect([&](int&) { calls.push_back("late"); });
  });
  signal.Connect([&](int& v) { calls.push_back("second " + std::to_string(v)); });
  int value = 1;
  signal(value);
  EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "second 2"}));  // "late" joined for the next raise
  EXPECT_EQ(value, 2);

  calls.clear();
  signal.Disconnect(first);
  signal(value);
  EXPECT_EQ(calls, (std::vector<std::string>{"second 2", "late"}));

  signal.Connect([](int&) { throw Error(ErrorCode::Failed, "handler failed"); });
  signal.Connect([&](int&) { calls.push_back("after the failure"); });
  EXPECT_THROW(signal(value), Error);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "after the failure"), 0);
  signal.DisconnectAll();
  EXPECT_TRUE(signal.Empty());
}

}  // namespace
}  // namespace quillmont::ui
