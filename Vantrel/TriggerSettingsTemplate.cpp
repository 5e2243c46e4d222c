// Resource: dialog template 192 "Trigger Settings" (dialog units).
#include "Vantrel/TriggerSettingsDlg.h"

namespace {

constexpr UINT kStatic = WS_GROUP;  // static texts and group boxes start a group
constexpr UINT kEdit = WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP;

}  // namespace

const DialogTemplate& TriggerSettingsTemplate() {
  static const DialogTemplate dialogTemplate{
      IDD_TRIGGER_SETTINGS,
      "Trigger Settings",
      215,
      105,
      "MS Sans Serif",
      8,
      DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
      {
          {IDOK, DialogControlKind::DefPushButton, "OK", 163, 7, 45, 14, WS_GROUP | WS_TABSTOP},
          {IDCANCEL, DialogControlKind::PushButton, "Cancel", 163, 24, 45, 14, WS_GROUP | WS_TABSTOP},
          {-1, DialogControlKind::GroupBox, "Start and End Time of Measurement", 7, 21, 151, 77, kStatic},
          {-1, DialogControlKind::StaticText, "Start after ", 14, 38, 33, 8, kStatic},
          {IDC_TRIGGER_START_MS, DialogControlKind::Edit, "", 48, 36, 38, 12, kEdit},
          {-1, DialogControlKind::StaticText, "ms", 88, 38, 12, 8, kStatic},
          {IDC_TRIGGER_RELATION_REFERENCE, DialogControlKind::AutoRadioButton,
           "Related to the start of the reference file", 14, 70, 141, 8, WS_GROUP | WS_TABSTOP},
          {IDC_TRIGGER_RELATION_TEST, DialogControlKind::AutoRadioButton, "Related to the start of the test file", 14,
           82, 124, 8, 0},
          {-1, DialogControlKind::StaticText, "End after ", 14, 53, 33, 8, kStatic},
          {IDC_TRIGGER_END_MS, DialogControlKind::Edit, "", 48, 51, 38, 12, kEdit},
          {-1, DialogControlKind::StaticText, "ms", 88, 53, 12, 8, kStatic},
          {IDC_TRIGGER_ENABLED, DialogControlKind::AutoCheckBox, "Use this trigger option", 7, 7, 111, 10, WS_TABSTOP},
      },
  };
  return dialogTemplate;
}
