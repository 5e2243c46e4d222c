// Headless dialogs: the dialog class with its controls and dialog data
// exchange, as the component's settings dialog uses them. There is no window
// system; a modal dialog is driven by a pluggable driver that edits the
// controls and presses OK or Cancel, as a user would. With no driver
// installed, DoModal traces and returns IDCANCEL.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/wintypes.h"

// A window; here only the handle that parents dialogs.
class CWnd {
 public:
  CWnd() = default;
  explicit CWnd(HWND handle) : m_hWnd(handle) {}
  virtual ~CWnd() = default;
  HWND GetSafeHwnd() const { return m_hWnd; }

  HWND m_hWnd = nullptr;
};

// Control and window styles the templates record.
constexpr UINT WS_GROUP = 0x00020000u;
constexpr UINT WS_TABSTOP = 0x00010000u;
constexpr UINT WS_BORDER = 0x00800000u;
constexpr UINT WS_CAPTION = 0x00C00000u;
constexpr UINT WS_SYSMENU = 0x00080000u;
constexpr UINT WS_POPUP = 0x80000000u;
constexpr UINT DS_MODALFRAME = 0x00000080u;
constexpr UINT ES_AUTOHSCROLL = 0x00000080u;

// Check states of buttons.
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;

enum class DialogControlKind { DefPushButton, PushButton, AutoCheckBox, AutoRadioButton, GroupBox, StaticText, Edit };

struct DialogControlTemplate {
  int id;  // -1: a control the program does not address
  DialogControlKind kind;
  const char* text;
  int x, y, cx, cy;  // dialog units
  UINT style;
};

struct DialogTemplate {
  UINT id;
  const char* caption;
  int cx, cy;  // dialog units
  const char* fontName;
  int pointSize;
  UINT style;
  std::vector<DialogControlTemplate> controls;  // in tab order
};

// A live control of an open dialog.
struct DialogControl {
  int id;
  DialogControlKind kind;
  std::string text;
  UINT check;
  bool groupStart;  // first control of a group (WS_GROUP)
};

class CDialog;

// The data exchange between a dialog's controls and its fields.
class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
  // A bad entry: the exchange stops, the dialog stays open.
  void Fail(int controlId);
  bool Failed() const { return m_failed; }

  BOOL m_bSaveAndValidate;  // TRUE: controls to fields
  CDialog* m_pDlgWnd;
  int m_idLastControl = 0;

 private:
  bool m_failed = false;
};

// Float in an edit control, written with as many digits as it takes to read
// back the same float. A text that is not a finite number shows a message
// and fails the exchange.
void DDX_Text(CDataExchange* exchange, int controlId, float& value);
// Index of the checked button of the radio group that begins at
// `firstControlId` (-1: none).
void DDX_Radio(CDataExchange* exchange, int firstControlId, int& value);
// Check state of a check box.
void DDX_Check(CDataExchange* exchange, int controlId, int& value);

// What the user does at the end of a round: press OK or Cancel.
enum class DialogButton { Ok, Cancel };

// Called once per round while a modal dialog is open: edits the controls
// (SetDlgItemText, CheckDlgButton, ...) and returns the button it presses.
// A failed OK (bad entry) keeps the dialog open for the next round.
using DialogDriver = std::function<DialogButton(CDialog& dialog)>;
// Installs the driver for every modal dialog (empty: none); returns the previous.
DialogDriver SetDialogDriver(DialogDriver driver);

class CDialog : public CWnd {
 public:
  CDialog(const DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // IDOK or IDCANCEL. IDCANCEL with a trace line when no driver is
  // installed or the driver never closes the dialog.
  virtual INT_PTR DoModal();

  // Fields to controls.
  virtual BOOL OnInitDialog();
  // Controls to fields; closes with IDOK only when that succeeds.
  virtual void OnOK();
  virtual void OnCancel();

  // TRUE: controls to fields (FALSE on a bad entry); FALSE: fields to controls.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  void EndDialog(int result);

  const DialogTemplate& Template() const { return m_template; }
  CWnd* GetParent() const { return m_parent; }

  // The controls as the user sees them; null / FALSE for an unknown id.
  DialogControl* FindControl(int controlId);
  const DialogControl* FindControl(int controlId) const;
  const std::vector<DialogControl>& Controls() const { return m_controls; }
  BOOL SetDlgItemText(int controlId, const char* text);
  CString GetDlgItemText(int controlId) const;
  BOOL CheckDlgButton(int controlId, UINT check);
  UINT IsDlgButtonChecked(int controlId) const;
  // Checks `checkId` and clears the other buttons of first..last.
  BOOL CheckRadioButton(int firstId, int lastId, int checkId);

 protected:
  virtual void DoDataExchange(CDataExchange* exchange);

 private:
  void CreateControls();

  const DialogTemplate& m_template;
  CWnd* m_parent;
  std::vector<DialogControl> m_controls;
  bool m_ended = false;
  int m_result = IDCANCEL;
};
