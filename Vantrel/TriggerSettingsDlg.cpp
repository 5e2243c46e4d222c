#include "Vantrel/TriggerSettingsDlg.h"

CTriggerSettingsDlg::CTriggerSettingsDlg(CWnd* parent) : CDialog(TriggerSettingsTemplate(), parent) {}

void CTriggerSettingsDlg::DoDataExchange(CDataExchange* exchange) {
  CDialog::DoDataExchange(exchange);
  DDX_Text(exchange, IDC_TRIGGER_END_MS, m_endMs);
  DDX_Text(exchange, IDC_TRIGGER_START_MS, m_startMs);
  DDX_Radio(exchange, IDC_TRIGGER_RELATION_REFERENCE, m_relation);
  DDX_Check(exchange, IDC_TRIGGER_ENABLED, m_enabled);
}
