#include "Vantrel/ErrorMessage.h"

#include "platform/message_box.h"
#include "resources/string_ids.h"

namespace {

// Out of memory is the only code with a text of its own. The undefined-error
// text has no placeholder for the code; it is used as is.
CString ErrorText(int code) {
  CString text;
  text.LoadString(code == ERRORCODE_OUT_OF_MEMORY ? IDS_OUT_OF_MEMORY : IDS_UNDEFINED_ERROR);
  return text;
}

}  // namespace

CString FormatErrorMessage(const CString& place, const CString& detail, int code) {
  return "ERROR in " + place + ", " + detail + ":\n" + ErrorText(code);
}

void ShowErrorMessage(CString place, CString detail, int code, int) {
  CString text = FormatErrorMessage(place, detail, code);
  AfxMessageBox(text, MB_ICONEXCLAMATION | MB_OK, 0);
}
