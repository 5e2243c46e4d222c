// The "Trigger Settings" dialog (template 192): enables the time trigger and
// takes its start and end times and the signal they count from.
// CTimeEvent::InputDialog fills it from the event and writes the result back.
#pragma once

#include "platform/dialog.h"

constexpr UINT IDD_TRIGGER_SETTINGS = 192;
constexpr int IDC_TRIGGER_ENABLED = 1000;
constexpr int IDC_TRIGGER_START_MS = 1162;
constexpr int IDC_TRIGGER_END_MS = 1163;
constexpr int IDC_TRIGGER_RELATION_REFERENCE = 1166;  // first of the radio group
constexpr int IDC_TRIGGER_RELATION_TEST = 1168;

// The dialog's resource template.
const DialogTemplate& TriggerSettingsTemplate();

class CTriggerSettingsDlg : public CDialog {
 public:
  explicit CTriggerSettingsDlg(CWnd* parent = nullptr);

  float m_endMs = 0.0f;
  float m_startMs = 0.0f;
  int m_relation = -1;  // -1: no radio button selected
  int m_enabled = 0;

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
};
