#include "errors/errorsys.h"

#include <string>
#include <vector>

#include "errors/errorlog.h"
#include "errors/errormessage.h"
#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/console/kept/database.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/object.h"
#include "runtime/lang/registry.h"
#include "runtime/lang/strings.h"

namespace potclock {

namespace {

// Generic codes and the operating system's code that the handler settles.
constexpr int kGenZeroDiv = 12;
constexpr int kGenQuiet11 = 11;
constexpr int kGenQuiet71 = 71;
constexpr int kGenQuiet78 = 78;
constexpr int kOsSharingViolation = 32;

// Past the log routine, this handler and the installed callable.
constexpr int kLogStackLevel = 2;
// Style flags added to every message box this handler shows.
constexpr int kBoxStyleFlags = 131072;
constexpr const char* kBoxTitle = "Kestrix Error Message";
constexpr const char* kExitWithLog = "Exit with LOG file";

int genCodeOf(const krx::Error& e) {
  return static_cast<int>(e.genCode.numOr(0));
}
bool canDefault(const krx::Error& e) {
  return e.canDefault.logOr(false);
}
bool canRetry(const krx::Error& e) {
  return e.canRetry.logOr(false);
}

bool isZeroDivisor(const krx::Error& e) {
  const std::string op = e.operation.isStr() ? e.operation.str() : "";
  if (op.find('/') == std::string::npos && op.find('%') == std::string::npos) return false;
  if (!e.args.isArray() || e.args.array()->empty()) return false;
  const krx::Item& divisor = e.args.array()->back();
  return divisor.isNum() && divisor.num() == 0;
}

// The errors that are settled without a word; nil when none applies.
krx::Item knownCase(const krx::Error& e) {
  const int gen = genCodeOf(e);
  if (gen == kGenQuiet11) return 0;
  if (gen == kGenZeroDiv && isZeroDivisor(e)) return 0;
  if (gen == kGenQuiet71 && e.osCode.numOr(0) == kOsSharingViolation && canDefault(e)) return false;
  if (gen == kGenQuiet78 && canDefault(e)) return false;
  return {};
}

// A database session error goes into the message: `cargo` becomes
// {previous cargo, session error code, session message}.
void addSessionDetails(krx::Error& e) {
  krx::Item oSession = krx::DBSESSION();
  if (oSession.isNil() && krx::ISFUNCTION("DacSession", 67)) {
    krx::Item sessionClass = krx::macroEval("DacSession()");
    if (auto cls = sessionClass.as<krx::Object>()) oSession = cls->send("getDefault", {});
  }
  auto session = oSession.as<krx::Object>();
  if (!session) return;
  if (session->send("getLastError", {}).numOr(0) == 0) return;
  krx::Item code = session->send("getLastError", {});
  krx::Item message = session->send("getLastMessage", {});
  e.cargo = krx::makeArray({e.cargo, code, message});
}

[[noreturn]] void endProgram() {
  krx::ERRORLEVEL(1);
  krx::_QUIT();
}

[[noreturn]] void logAndEnd(const krx::ErrorRef& oError) {
  ERRORLOG(oError, kLogStackLevel);
  endProgram();
}

// Text mode: an alert with the options, shown until one is chosen.
krx::Item askInText(const krx::ErrorRef& oError, const std::string& cMessage,
                    const std::vector<std::string>& aOptions) {
  // Without a window there is nobody to ask.
  if (krx::SETAPPWINDOW().isNil()) logAndEnd(oError);

  const int row = krx::ROW(), col = krx::COL();
  int nChoice = 0;
  // A box closed without a choice is shown again; so is an answer that names
  // no option, which only a faulty dialog could give.
  while (nChoice < 1 || nChoice > static_cast<int>(aOptions.size()))
    nChoice = krx::ALERT(cMessage, aOptions);
  krx::SETPOS(row, col);

  const std::string& chosen = aOptions[static_cast<std::size_t>(nChoice) - 1];
  if (chosen == "Ignore") return false;
  if (chosen == "Retry") return true;
  if (chosen == "Cancel") krx::BREAK(krx::Item(oError));
  logAndEnd(oError);
}

// Windowed: a message box with the call stack, its buttons chosen by what
// the error allows.
krx::Item askInWindow(const krx::ErrorRef& oError, std::string cMessage) {
  const krx::Error& e = *oError;
  int nButtons = krx::MB_OK;
  if (canDefault(e) && canRetry(e))
    nButtons = krx::MB_ABORTRETRYIGNORE;
  else if (canRetry(e))
    nButtons = krx::MB_RETRYCANCEL;
  else if (canDefault(e))
    nButtons = krx::MB_OKCANCEL;

  // Level 0 is this handler, 1 the installed callable: level 2 is where the
  // error arose.
  for (int level = 2; !krx::PROCNAME(level).empty(); ++level)
    cMessage += ";Called from " + callerText(level);

  const double severity = e.severity.numOr(0);
  const int nIcon = severity == 3 || severity == 2 ? krx::MB_ICONSTOP
                    : severity == 1                ? krx::MB_ICONEXCLAMATION
                                                   : krx::MB_ICONINFORMATION;

  const int nChoice = krx::CONFIRMBOX(krx::Item(), krx::STRTRAN(cMessage, ";", krx::CHR(13)),
                                      kBoxTitle, nButtons, nIcon + kBoxStyleFlags);
  switch (nChoice) {
    case krx::IDRETRY:
      return true;
    case krx::IDIGNORE:
      return false;
    case krx::IDCANCEL:
      if (krx::CONFIRMBOX(krx::Item(), kExitWithLog, kBoxTitle, krx::MB_YESNO,
                          krx::MB_ICONEXCLAMATION + kBoxStyleFlags) != krx::IDYES)
        krx::BREAK(krx::Item(oError));
      break;
    default:
      break;
  }
  logAndEnd(oError);
}

}  // namespace

krx::Item STANDARDEH(const krx::ErrorRef& oError) {
  KRX_ROUTINE("STANDARDEH");
  if (krx::Item settled = knownCase(*oError); !settled.isNil()) return settled;

  addSessionDetails(*oError);
  std::string cMessage = ERRORMESSAGE(*oError);

  std::vector<std::string> aOptions{"Cancel", kExitWithLog};
  if (canRetry(*oError)) aOptions.push_back("Retry");
  if (canDefault(*oError)) aOptions.push_back("Ignore");

  if (!krx::EMPTY(oError->osCode)) {
    const int os = static_cast<int>(oError->osCode.numOr(0));
    cMessage += ";Operating system error : " + decimal(os) + ";" + krx::DOSERRORMESSAGE(os);
  }

  if (krx::APPTYPE() != 3) return askInText(oError, cMessage, aOptions);
  return askInWindow(oError, cMessage);
}

void ERRORSYS() {
  KRX_ROUTINE("ERRORSYS");
  const int line = krx::PROCLINE(0);
  krx::ERRORBLOCK(krx::Item(
      krx::makeBlock("{|o| StandardEH(o)}", [line](std::span<const krx::Item> a) -> krx::Item {
        // A callable is a level of the call stack of its own, as compiled
        // ones are: the log and the windowed box count it.
        krx::ProcFrame frame("(b)ERRORSYS", line);
        auto oError = a.empty() ? nullptr : a[0].as<krx::Error>();
        if (!oError) return false;
        return STANDARDEH(oError);
      })));
}

}  // namespace potclock
