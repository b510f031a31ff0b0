// The application window and the host system as the runtime offers them on
// a text terminal.
#pragma once

#include <string>
#include <string_view>

#include "runtime/lang/object.h"

namespace krx {

// The kind of application the backend runs (Backend::appType): 2, text mode,
// on a terminal.
int APPTYPE();

inline constexpr std::string_view kRootCrtClass = "ROOTCRT";

// The root console: the terminal's 80 by 25 screen, with a screen buffer.
class RootCrt : public Object {
 public:
  std::string className() const override { return std::string(kRootCrtClass); }
  Item getMember(std::string_view name) override;
  void setMember(std::string_view name, const Item& value) override;
  Item send(std::string_view method, std::span<const Item> args) override;
  void Create() { created = true; }

  bool createBuffer = false;
  bool created = false;
};
std::shared_ptr<RootCrt> ROOTCRT_New();

Item SETAPPWINDOW();                    // the application window, or nil
Item SETAPPWINDOW(const Item& window);  // sets it; returns the previous
std::string APPNAME(bool longForm = false);

// VERSION(): "major.minor" of this runtime; VERSION(1..3): that part alone
// (3 is the revision); "" for any other part.
std::string VERSION();
std::string VERSION(int part);
// The operating system: its name, release and machine, as uname() reports them.
std::string OS();
// The operating system's text for an error number.
std::string DOSERRORMESSAGE(int code);

// Window-system message box codes (button sets, icons, results).
enum MessageBoxCode : int {
  MB_OK = 0,
  MB_OKCANCEL = 1,
  MB_ABORTRETRYIGNORE = 2,
  MB_YESNOCANCEL = 3,
  MB_YESNO = 4,
  MB_RETRYCANCEL = 5,
  MB_ICONSTOP = 16,
  MB_ICONEXCLAMATION = 48,
  MB_ICONINFORMATION = 64,
  IDOK = 1,
  IDCANCEL = 2,
  IDABORT = 3,
  IDRETRY = 4,
  IDIGNORE = 5,
  IDYES = 6,
  IDNO = 7,
};

// Message boxes on a terminal: an ALERT with the buttons of the set (lines
// of `text` split at carriage returns as well as ";"). Returns the result
// code of the button pressed. A box closed without a choice counts as Cancel
// when the set has Cancel and as OK for the OK-only set; the other sets
// cannot be dismissed, so the box is shown again. `owner`, `title` and
// `style` have nothing to select on a terminal.
int CONFIRMBOX(const Item& owner, std::string_view text, std::string_view title, int buttons,
               int style);
// A box with the one button "OK".
void MSGBOX(std::string_view text, std::string_view title = "");

}  // namespace krx
