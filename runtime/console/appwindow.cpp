#include "runtime/console/appwindow.h"

#include <sys/utsname.h>

#include <cstring>
#include <vector>

#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/console/version.h"
#include "runtime/lang/registry.h"
#include "runtime/lang/strings.h"

namespace krx {

int APPTYPE() {
  return RT().backend->appType();
}

Item RootCrt::getMember(std::string_view name) {
  std::string n = upperAscii(name);
  if (n == "CREATEBUFFER") return createBuffer;
  return Object::getMember(name);
}

void RootCrt::setMember(std::string_view name, const Item& value) {
  if (upperAscii(name) == "CREATEBUFFER" && value.isLog()) {
    createBuffer = value.logOr(false);
    return;
  }
  Object::setMember(name, value);
}

Item RootCrt::send(std::string_view method, std::span<const Item> args) {
  std::string m = upperAscii(method);
  if (m == "CREATE") {
    Create();
    return Item(shared_from_this());
  }
  if (m == "ISDERIVEDFROM" && !args.empty()) {
    if (args[0].isStr()) return isDerivedFrom(args[0].strOr(""));
    if (auto other = args[0].as<Object>()) return isDerivedFrom(other->className());
    return false;
  }
  return Object::send(method, args);
}

std::shared_ptr<RootCrt> ROOTCRT_New() {
  return std::make_shared<RootCrt>();
}

Item SETAPPWINDOW() {
  return RT().appWindow;
}

Item SETAPPWINDOW(const Item& window) {
  Item previous = RT().appWindow;
  RT().appWindow = window;
  return previous;
}

std::string APPNAME(bool longForm) {
  return longForm ? "potclock (blinds timer)" : "potclock";
}

std::string VERSION() {
  return VERSION(1) + "." + VERSION(2);
}

std::string VERSION(int part) {
  if (part < 1 || part > 3) return "";
  const std::uint32_t word = versionWord();
  return std::to_string((word >> (8 * (4 - part))) & 0xFFu);
}

std::string OS() {
  struct utsname u {};
  if (::uname(&u) != 0) return "unknown";
  return std::string(u.sysname) + " " + u.release + " " + u.machine;
}

std::string DOSERRORMESSAGE(int code) {
  return std::strerror(code);
}

namespace {

struct ButtonSet {
  int code;
  std::vector<std::pair<std::string, int>> buttons;  // caption, result code
  int onClose;                                       // 0: cannot be dismissed
};

const ButtonSet kButtonSets[] = {
    {MB_OK, {{"OK", IDOK}}, IDOK},
    {MB_OKCANCEL, {{"OK", IDOK}, {"Cancel", IDCANCEL}}, IDCANCEL},
    {MB_ABORTRETRYIGNORE, {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}}, 0},
    {MB_YESNOCANCEL, {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}}, IDCANCEL},
    {MB_YESNO, {{"Yes", IDYES}, {"No", IDNO}}, 0},
    {MB_RETRYCANCEL, {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}}, IDCANCEL},
};

}  // namespace

int CONFIRMBOX(const Item& owner, std::string_view text, std::string_view title, int buttons,
               int style) {
  (void)owner, (void)title, (void)style;
  const ButtonSet* set = &kButtonSets[0];  // an unknown set shows OK alone
  for (const ButtonSet& s : kButtonSets)
    if (s.code == buttons) set = &s;
  std::vector<std::string> captions;
  for (const auto& b : set->buttons) captions.push_back(b.first);
  const std::string lines = STRTRAN(text, "\r", ";");
  for (;;) {
    int choice = ALERT(lines, captions);
    if (choice >= 1 && choice <= static_cast<int>(captions.size()))
      return set->buttons[static_cast<std::size_t>(choice) - 1].second;
    if (set->onClose != 0) return set->onClose;
  }
}

void MSGBOX(std::string_view text, std::string_view title) {
  CONFIRMBOX(Item(), text, title, MB_OK, MB_ICONINFORMATION);
}

}  // namespace krx
