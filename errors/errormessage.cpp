#include "errors/errormessage.h"

#include <algorithm>

#include "runtime/lang/strings.h"

namespace potclock {

namespace {

constexpr int kSessionTextWidth = 50;
// Lines are padded to the width before they are trimmed, so a width far past
// any line would only cost memory; no text of the runtime is longer anyway.
constexpr double kMaxWidth = krx::kMaxStringLength;

}  // namespace

std::string decimal(double n) {
  return krx::LTRIM(krx::STR(n));
}

std::string callerText(int level) {
  return krx::TRIM(krx::PROCNAME(level)) + "(" + decimal(krx::PROCLINE(level)) + ")";
}

std::string ERRORMESSAGE(const krx::Error& oError) {
  std::string cMessage = oError.severity.numOr(0) > 1 ? "Error " : "Warning ";
  cMessage += oError.subSystem.isStr() ? oError.subSystem.str() : "????";
  cMessage += oError.subCode.isNum() ? "/" + decimal(oError.subCode.num()) : "/????";
  if (oError.description.isStr()) cMessage += ";Description : " + oError.description.str();
  if (!krx::EMPTY(oError.filename)) cMessage += ";File : " + krx::displayForm(oError.filename);
  if (!krx::EMPTY(oError.operation))
    cMessage += ";Operation : " + krx::displayForm(oError.operation);
  cMessage += ";Thread ID : " + (oError.thread.isNum() ? decimal(oError.thread.num()) : "????");

  // A session error that the handler found: the earlier cargo when it is a
  // text, then the session's message; the session's error code stays out.
  if (oError.cargo.isArray() && oError.cargo.array()->size() == 3) {
    const krx::Array& cargo = *oError.cargo.array();
    if (cargo[0].isStr()) cMessage += ";" + LINESPLIT(cargo[0].str(), kSessionTextWidth);
    const std::string message = cargo[2].isStr() ? cargo[2].str() : krx::VAR2CHAR(cargo[2]);
    cMessage += ";" + LINESPLIT(message, kSessionTextWidth);
  }
  return cMessage;
}

std::string LINESPLIT(std::string_view cText, int nWidth) {
  nWidth = std::min(nWidth, static_cast<int>(kMaxWidth));
  std::string result;
  const int n = krx::MLCOUNT(cText, nWidth);
  for (int i = 1; i <= n; ++i) result += krx::RTRIM(krx::MEMOLINE(cText, nWidth, i)) + ";";
  if (!result.empty() && result.back() == ';') result.pop_back();
  return result;
}

krx::Item LINESPLIT_entry(std::span<const krx::Item> args) {
  KRX_ROUTINE("LINESPLIT");
  const krx::Item& text = krx::arg(args, 0);
  const krx::Item& width = krx::arg(args, 1);
  const double n = width.num();
  return LINESPLIT(text.str(), n >= 1 ? static_cast<int>(std::min(n, kMaxWidth)) : 0);
}

}  // namespace potclock
