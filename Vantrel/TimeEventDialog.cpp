// CTimeEvent::InputDialog: the event edited through the "Trigger Settings" dialog.
#include <utility>

#include "Vantrel/TriggerEvent.h"
#include "Vantrel/TriggerSettingsDlg.h"
#include "platform/module_state.h"

void CTimeEvent::InputDialog(void* /*unused*/) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());

  CWnd parentWindow(parent);
  CTriggerSettingsDlg dialog(&parentWindow);
  dialog.m_endMs = endMs;
  dialog.m_startMs = startMs;
  dialog.m_enabled = state != TRIGGER_OFF ? 1 : 0;
  if (relation == TRIGGER_RELATION_REFERENCE || relation == TRIGGER_RELATION_TEST) dialog.m_relation = relation;

  if (dialog.DoModal() != IDOK) return;

  startMs = dialog.m_startMs;
  endMs = dialog.m_endMs;
  if (endMs < startMs) std::swap(startMs, endMs);
  state = dialog.m_enabled != 0 ? TRIGGER_ARMED : TRIGGER_OFF;

  if (dialog.m_relation == TRIGGER_RELATION_REFERENCE || dialog.m_relation == TRIGGER_RELATION_TEST)
    relation = dialog.m_relation;

  if (startMs == 0.0f && endMs == 0.0f) {
    state = TRIGGER_OFF;
  } else {
    startAction = 1;
    endAction = 2;
  }
  if (!(endMs > startMs)) state = TRIGGER_OFF;
}
