#include "platform/dialog.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/debug_output.h"
#include "platform/message_box.h"

namespace {

// A driver that keeps pressing OK on a bad entry must not hang the caller.
constexpr int kMaxDriverRounds = 1000;

std::mutex g_driverMutex;
DialogDriver g_driver;

DialogDriver CurrentDriver() {
  std::lock_guard<std::mutex> lock(g_driverMutex);
  return g_driver;
}

void TraceDialog(const char* what, const DialogTemplate& dialogTemplate) {
  char line[256];
  std::snprintf(line, sizeof line, "CDialog::DoModal(), %s: dialog %u \"%s\" cancelled\n", what, dialogTemplate.id,
                dialogTemplate.caption != nullptr ? dialogTemplate.caption : "");
  OutputDebugStringA(line);
}

// The shortest text that reads back as the same float; whole numbers in
// plain digits rather than exponent form.
std::string FormatFloatRoundTrip(float value) {
  char text[64];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  if (std::strchr(text, 'e') != nullptr && std::isfinite(value) && std::fabs(value) < 1e15f &&
      std::nearbyint(value) == value)
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
  return text;
}

bool ParseFiniteFloat(const std::string& text, float& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const float parsed = std::strtof(begin, &end);
  if (end == begin) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != 0 || !std::isfinite(parsed) || errno == ERANGE) return false;
  value = parsed;
  return true;
}

// The dialog of an exchange that goes on, with `controlId` as its last
// control; null once the exchange has failed or when there is no dialog.
CDialog* ExchangeDialog(CDataExchange* exchange, int controlId) {
  if (exchange == nullptr || exchange->Failed() || exchange->m_pDlgWnd == nullptr) return nullptr;
  exchange->m_idLastControl = controlId;
  return exchange->m_pDlgWnd;
}

}  // namespace

DialogDriver SetDialogDriver(DialogDriver driver) {
  std::lock_guard<std::mutex> lock(g_driverMutex);
  DialogDriver previous = std::move(g_driver);
  g_driver = std::move(driver);
  return previous;
}

void CDataExchange::Fail(int controlId) {
  m_failed = true;
  m_idLastControl = controlId;
}

void DDX_Text(CDataExchange* exchange, int controlId, float& value) {
  CDialog* dialog = ExchangeDialog(exchange, controlId);
  if (dialog == nullptr) return;
  if (!exchange->m_bSaveAndValidate) {
    dialog->SetDlgItemText(controlId, FormatFloatRoundTrip(value).c_str());
    return;
  }
  float parsed = 0.0f;
  if (!ParseFiniteFloat(dialog->GetDlgItemText(controlId).str(), parsed)) {
    AfxMessageBox("Please enter a number.", MB_OK | MB_ICONEXCLAMATION);
    exchange->Fail(controlId);
    return;
  }
  value = parsed;
}

void DDX_Radio(CDataExchange* exchange, int firstControlId, int& value) {
  CDialog* dialog = ExchangeDialog(exchange, firstControlId);
  if (dialog == nullptr) return;
  const std::vector<DialogControl>& controls = dialog->Controls();
  size_t first = 0;
  while (first < controls.size() && controls[first].id != firstControlId) ++first;
  if (first == controls.size()) return;

  if (exchange->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (size_t i = first; i < controls.size(); ++i) {
    if (i != first && controls[i].groupStart) break;
    if (controls[i].kind != DialogControlKind::AutoRadioButton) continue;
    if (exchange->m_bSaveAndValidate) {
      if (controls[i].check == BST_CHECKED) value = index;
    } else {
      dialog->CheckDlgButton(controls[i].id, index == value ? BST_CHECKED : BST_UNCHECKED);
    }
    ++index;
  }
}

void DDX_Check(CDataExchange* exchange, int controlId, int& value) {
  CDialog* dialog = ExchangeDialog(exchange, controlId);
  if (dialog == nullptr) return;
  if (exchange->m_bSaveAndValidate)
    value = static_cast<int>(dialog->IsDlgButtonChecked(controlId));
  else
    dialog->CheckDlgButton(controlId, value != 0 ? BST_CHECKED : BST_UNCHECKED);
}

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* parent) : m_template(dialogTemplate), m_parent(parent) {}

CDialog::~CDialog() = default;

void CDialog::CreateControls() {
  m_controls.clear();
  for (const DialogControlTemplate& source : m_template.controls)
    m_controls.push_back(DialogControl{source.id, source.kind, source.text != nullptr ? source.text : "", BST_UNCHECKED,
                                       (source.style & WS_GROUP) != 0});
}

INT_PTR CDialog::DoModal() {
  DialogDriver driver = CurrentDriver();
  if (!driver) {
    TraceDialog("no dialog driver", m_template);
    return IDCANCEL;
  }
  CreateControls();
  m_ended = false;
  m_result = IDCANCEL;
  OnInitDialog();
  for (int round = 0; round < kMaxDriverRounds && !m_ended; ++round) {
    if (driver(*this) == DialogButton::Ok)
      OnOK();
    else
      OnCancel();
  }
  if (!m_ended) {
    TraceDialog("the driver never closed it", m_template);
    return IDCANCEL;
  }
  return m_result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return exchange.Failed() ? FALSE : TRUE;
}

void CDialog::EndDialog(int result) {
  m_result = result;
  m_ended = true;
}

void CDialog::DoDataExchange(CDataExchange* /*exchange*/) {}

const DialogControl* CDialog::FindControl(int controlId) const {
  for (const DialogControl& control : m_controls)
    if (control.id == controlId) return &control;
  return nullptr;
}

DialogControl* CDialog::FindControl(int controlId) {
  return const_cast<DialogControl*>(std::as_const(*this).FindControl(controlId));
}

BOOL CDialog::SetDlgItemText(int controlId, const char* text) {
  DialogControl* control = FindControl(controlId);
  if (control == nullptr) return FALSE;
  control->text = text != nullptr ? text : "";
  return TRUE;
}

CString CDialog::GetDlgItemText(int controlId) const {
  const DialogControl* control = FindControl(controlId);
  return control != nullptr ? CString(control->text) : CString();
}

BOOL CDialog::CheckDlgButton(int controlId, UINT check) {
  DialogControl* control = FindControl(controlId);
  if (control == nullptr) return FALSE;
  control->check = check;
  return TRUE;
}

UINT CDialog::IsDlgButtonChecked(int controlId) const {
  const DialogControl* control = FindControl(controlId);
  return control != nullptr ? control->check : BST_UNCHECKED;
}

BOOL CDialog::CheckRadioButton(int firstId, int lastId, int checkId) {
  BOOL found = FALSE;
  for (DialogControl& control : m_controls) {
    if (control.id < firstId || control.id > lastId) continue;
    control.check = control.id == checkId ? BST_CHECKED : BST_UNCHECKED;
    if (control.id == checkId) found = TRUE;
  }
  return found;
}
