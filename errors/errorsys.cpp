#include "errors/errorsys.h"

#include <string>
#include <vector>

#include "runtime/console.h"
#include "runtime/object.h"
#include "runtime/strings.h"

namespace potclock {

namespace {

// Settles the known cases quietly; otherwise shows the error and lets the
// user choose. An error exit ends the program with exit code 1.
krx::Item STANDARDEH(const krx::ErrorRef& e) {
  int genCode = static_cast<int>(e->genCode.numOr(0));
  if (genCode == 11) return 0;
  if (genCode == 12) {
    std::string op = e->operation.strOr("");
    bool divides = op.find('/') != std::string::npos || op.find('%') != std::string::npos;
    const krx::Item& args = e->args;
    if (divides && args.isArray() && !args.array()->empty() &&
        args.array()->back().isNum() && args.array()->back().numOr(1) == 0)
      return 0;
  }
  if (genCode == 71 && e->osCode.numOr(0) == 32 && e->canDefault.logOr(false)) return false;
  if (genCode == 78 && e->canDefault.logOr(false)) return false;

  std::string cMessage = (e->severity.numOr(2) > 1 ? "Error " : "Warning ") +
                         e->subSystem.strOr("????") + "/" +
                         (e->subCode.isNum() ? krx::LTRIM(krx::STR(e->subCode.numOr(0))) : "????");
  if (e->description.isStr()) cMessage += ";Description : " + e->description.strOr("");
  if (!e->operation.strOr("").empty()) cMessage += ";Operation : " + e->operation.strOr("");
  std::vector<std::string> aOptions{"Cancel", "Exit with LOG file"};
  if (e->canRetry.logOr(false)) aOptions.push_back("Retry");
  if (e->canDefault.logOr(false)) aOptions.push_back("Ignore");

  int nChoice = 0;
  int row = krx::ROW(), col = krx::COL();
  while (nChoice == 0) nChoice = krx::ALERT(cMessage, aOptions);
  krx::SETPOS(row, col);
  const std::string& chosen = aOptions[static_cast<std::size_t>(nChoice - 1)];
  if (chosen == "Ignore") return false;
  if (chosen == "Retry") return true;
  if (chosen == "Cancel") krx::BREAK(krx::Item(e));
  krx::ERRORLEVEL(1);
  krx::_QUIT();
}

}  // namespace

void ERRORSYS() {
  KRX_ROUTINE("ERRORSYS");
  krx::ERRORBLOCK(krx::Item(krx::makeBlock("{|o| StandardEH(o)}", [](std::span<const krx::Item> a) {
    auto e = a.empty() ? nullptr : a[0].as<krx::Error>();
    return e ? STANDARDEH(e) : krx::Item(false);
  })));
}

}  // namespace potclock
