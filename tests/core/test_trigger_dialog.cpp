// The "Trigger Settings" dialog, driven as a user would: edit the controls,
// press OK or Cancel, type something that is not a number.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Vantrel/TriggerEvent.h"
#include "Vantrel/TriggerSettingsDlg.h"
#include "platform/debug_output.h"
#include "platform/dialog.h"
#include "platform/message_box.h"

using ::testing::HasSubstr;

namespace {

// Installs a driver for the test's lifetime.
class ScopedDriver {
 public:
  explicit ScopedDriver(DialogDriver driver) : m_previous(SetDialogDriver(std::move(driver))) {}
  ~ScopedDriver() { SetDialogDriver(std::move(m_previous)); }

 private:
  DialogDriver m_previous;
};

// One round of user input: texts to type (null: leave), check box, radio, button.
struct UserRound {
  const char* start;
  const char* end;
  int enable;  // -1 leave
  int radio;   // -1 leave, else the button id
  DialogButton button;
};

// Plays the rounds in turn and records what the dialog showed first.
struct ScriptedUser {
  std::vector<UserRound> rounds;
  size_t played = 0;
  std::string shownStart, shownEnd;
  UINT shownCheck = 99, shownReference = 99, shownTest = 99;

  DialogDriver Driver() {
    return [this](CDialog& dialog) {
      if (played == 0) {
        shownStart = dialog.GetDlgItemText(IDC_TRIGGER_START_MS).GetString();
        shownEnd = dialog.GetDlgItemText(IDC_TRIGGER_END_MS).GetString();
        shownCheck = dialog.IsDlgButtonChecked(IDC_TRIGGER_ENABLED);
        shownReference = dialog.IsDlgButtonChecked(IDC_TRIGGER_RELATION_REFERENCE);
        shownTest = dialog.IsDlgButtonChecked(IDC_TRIGGER_RELATION_TEST);
      }
      if (played >= rounds.size()) return DialogButton::Cancel;
      const UserRound& round = rounds[played++];
      if (round.start != nullptr) dialog.SetDlgItemText(IDC_TRIGGER_START_MS, round.start);
      if (round.end != nullptr) dialog.SetDlgItemText(IDC_TRIGGER_END_MS, round.end);
      if (round.enable >= 0) dialog.CheckDlgButton(IDC_TRIGGER_ENABLED, static_cast<UINT>(round.enable));
      if (round.radio >= 0)
        dialog.CheckRadioButton(IDC_TRIGGER_RELATION_REFERENCE, IDC_TRIGGER_RELATION_TEST, round.radio);
      return round.button;
    };
  }
};

class TriggerDialogTest : public ::testing::Test {
 protected:
  TriggerDialogTest() {
    event.startMs = 100.0f;
    event.endMs = 900.0f;
    event.relation = 1;
    event.state = TRIGGER_OFF;
    event.startAction = 7;
    event.endAction = 8;
  }

  // Runs the dialog with the user's rounds.
  void Edit(std::vector<UserRound> rounds) {
    user.rounds = std::move(rounds);
    user.played = 0;
    ScopedDriver driver(user.Driver());
    event.InputDialog(nullptr);
  }

  CTimeEvent event;
  ScriptedUser user;
};

TEST_F(TriggerDialogTest, ShowsTheEventAndStoresTheEditsInOrder) {
  Edit({{"5000", "2000", 1, IDC_TRIGGER_RELATION_REFERENCE, DialogButton::Ok}});
  EXPECT_EQ(user.shownStart, "100");
  EXPECT_EQ(user.shownEnd, "900");
  EXPECT_EQ(user.shownCheck, BST_UNCHECKED);
  EXPECT_EQ(user.shownReference, BST_UNCHECKED);
  EXPECT_EQ(user.shownTest, BST_CHECKED);
  EXPECT_EQ(event.startMs, 2000.0f);  // swapped so that start is the smaller
  EXPECT_EQ(event.endMs, 5000.0f);
  EXPECT_EQ(event.state, TRIGGER_ARMED);
  EXPECT_EQ(event.relation, 0);
  EXPECT_EQ(event.startAction, 1);
  EXPECT_EQ(event.endAction, 2);
}

TEST_F(TriggerDialogTest, OutcomesOfTheTimeRules) {
  struct Case {
    const char* what;
    const char* start;
    const char* end;
    int enable;
    float startMs, endMs;
    int state, startAction, endAction;
  } cases[] = {
      {"equal times: stored, actions set, but off", "300", "300", 1, 300.0f, 300.0f, TRIGGER_OFF, 1, 2},
      {"both zero: off, actions untouched", "0", "0", 1, 0.0f, 0.0f, TRIGGER_OFF, 7, 8},
      {"not enabled: off", "10", "20", 0, 10.0f, 20.0f, TRIGGER_OFF, 1, 2},
      {"blanks around a number", " 10 ", "2e1", 1, 10.0f, 20.0f, TRIGGER_ARMED, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    event.state = TRIGGER_ARMED;
    event.startAction = 7;
    event.endAction = 8;
    Edit({{c.start, c.end, c.enable, -1, DialogButton::Ok}});
    EXPECT_EQ(event.startMs, c.startMs);
    EXPECT_EQ(event.endMs, c.endMs);
    EXPECT_EQ(event.state, c.state);
    EXPECT_EQ(event.startAction, c.startAction);
    EXPECT_EQ(event.endAction, c.endAction);
    EXPECT_EQ(event.relation, 1);  // no radio pressed: kept
  }
}

TEST_F(TriggerDialogTest, CancelLeavesEveryFieldAsItWas) {
  event.state = TRIGGER_RUNNING;
  Edit({{"1", "2", 0, IDC_TRIGGER_RELATION_REFERENCE, DialogButton::Cancel}});
  EXPECT_EQ(event.startMs, 100.0f);
  EXPECT_EQ(event.endMs, 900.0f);
  EXPECT_EQ(event.state, TRIGGER_RUNNING);
  EXPECT_EQ(event.relation, 1);
  EXPECT_EQ(event.startAction, 7);
}

TEST_F(TriggerDialogTest, UnknownRelationShowsNoRadioAndIsKeptUnlessChosen) {
  event.relation = 5;
  Edit({{nullptr, nullptr, 1, -1, DialogButton::Ok}});
  EXPECT_EQ(user.shownReference, BST_UNCHECKED);
  EXPECT_EQ(user.shownTest, BST_UNCHECKED);
  EXPECT_EQ(event.relation, 5);
  Edit({{nullptr, nullptr, 1, IDC_TRIGGER_RELATION_TEST, DialogButton::Ok}});
  EXPECT_EQ(event.relation, 1);
}

TEST_F(TriggerDialogTest, OkWithoutEditsKeepsEveryFloatExactly) {
  const float values[] = {1234567.0f, 3600000.0f, 0.1f, 123456.79f, 1.0e-7f, 16777216.0f, 0.0f};
  for (float value : values) {
    SCOPED_TRACE(value);
    event.startMs = value;
    event.endMs = 3.0e7f;
    Edit({{nullptr, nullptr, -1, -1, DialogButton::Ok}});
    EXPECT_EQ(std::memcmp(&event.startMs, &value, sizeof value), 0) << user.shownStart;
  }
  event.startMs = 1234567.0f;
  Edit({{nullptr, nullptr, -1, -1, DialogButton::Ok}});
  EXPECT_EQ(user.shownStart, "1234567");
  event.endMs = 3600000.0f;
  Edit({{nullptr, nullptr, -1, -1, DialogButton::Ok}});
  EXPECT_EQ(user.shownEnd, "3600000");
}

TEST_F(TriggerDialogTest, BadNumberShowsAMessageAndKeepsTheDialogOpen) {
  for (const char* bad : {"12abc", "", "inf", "nan", "1e39", "-", "0x"}) {
    SCOPED_TRACE(bad);
    std::vector<std::string> messages;
    MessageBoxHook previous = SetMessageBoxHook([&messages](const char* text, const char*, UINT) {
      messages.push_back(text);
      return IDOK;
    });
    Edit({{bad, "400", 1, -1, DialogButton::Ok}, {"300", nullptr, -1, -1, DialogButton::Ok}});
    SetMessageBoxHook(previous);
    EXPECT_EQ(user.played, 2u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("number"));
    EXPECT_EQ(event.startMs, 300.0f);
    EXPECT_EQ(event.endMs, 400.0f);
    EXPECT_EQ(event.state, TRIGGER_ARMED);
  }
}

TEST_F(TriggerDialogTest, BadNumberThenCancelChangesNothing) {
  MessageBoxHook previous = SetMessageBoxHook([](const char*, const char*, UINT) { return IDOK; });
  Edit({{"abc", "1", 1, -1, DialogButton::Ok}, {nullptr, nullptr, -1, -1, DialogButton::Cancel}});
  SetMessageBoxHook(previous);
  EXPECT_EQ(event.startMs, 100.0f);
  EXPECT_EQ(event.endMs, 900.0f);
  EXPECT_EQ(event.state, TRIGGER_OFF);
}

TEST_F(TriggerDialogTest, WithoutADriverTheDialogIsCancelledAndTraced) {
  ScopedDriver none{DialogDriver{}};
  DebugOutputCapture capture;
  event.InputDialog(nullptr);
  EXPECT_THAT(capture.Text(), HasSubstr("no dialog driver: dialog 192 \"Trigger Settings\" cancelled"));
  EXPECT_EQ(event.startMs, 100.0f);
  EXPECT_EQ(event.state, TRIGGER_OFF);

  CTriggerSettingsDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(TriggerDialogTest, DriverThatNeverClosesIsCancelled) {
  MessageBoxHook previous = SetMessageBoxHook([](const char*, const char*, UINT) { return IDOK; });
  ScopedDriver stubborn([](CDialog& dialog) {
    dialog.SetDlgItemText(IDC_TRIGGER_START_MS, "x");
    return DialogButton::Ok;
  });
  DebugOutputCapture capture;
  CTriggerSettingsDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  SetMessageBoxHook(previous);
  EXPECT_THAT(capture.Text(), HasSubstr("never closed"));
}

TEST(TriggerDialogTemplateTest, TemplateHoldsTheResource) {
  const DialogTemplate& t = TriggerSettingsTemplate();
  EXPECT_EQ(t.id, 192u);
  EXPECT_STREQ(t.caption, "Trigger Settings");
  EXPECT_EQ(t.cx, 215);
  EXPECT_EQ(t.cy, 105);
  EXPECT_STREQ(t.fontName, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  std::vector<std::string> texts;
  for (const DialogControlTemplate& control : t.controls) texts.push_back(control.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"OK", "Cancel", "Start and End Time of Measurement", "Start after ", "",
                                             "ms", "Related to the start of the reference file",
                                             "Related to the start of the test file", "End after ", "", "ms",
                                             "Use this trigger option"}));
  EXPECT_EQ(t.controls[4].id, 1162);
  EXPECT_EQ(t.controls[9].id, 1163);
  EXPECT_EQ(t.controls[6].id, 1166);
  EXPECT_EQ(t.controls[7].id, 1168);
  EXPECT_EQ(t.controls[11].id, 1000);
  EXPECT_EQ(t.controls[0].kind, DialogControlKind::DefPushButton);
  EXPECT_EQ(t.controls[6].x, 14);
  EXPECT_EQ(t.controls[6].cx, 141);
}

}  // namespace
