#include "errors/errorlog.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "errors/errormessage.h"
#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/strings.h"

namespace potclock {

namespace {

constexpr int kLastNumberedLog = 999;
constexpr const char* kCannotOpen = "Unable to open error log file";
constexpr const char* kWrittenTo = "Error log was written to the file ";
constexpr const char* kNotWrittenTo = "Error log could not be written to the file ";
constexpr const char* kWentToStandardError = "; the report was written to standard error";

// The output settings of the console stream, as found on entry. They go back
// in the order 23, 17, 19, 18, 21 once the log is written, and on any other
// way out as well (an error inside the report that the user cancels), so
// that the program is never left writing to the log.
class SavedOutput {
 public:
  SavedOutput()
      : printer_(krx::SET(krx::SET_PRINTER)),
        console_(krx::SET(krx::SET_CONSOLE)),
        altFile_(krx::SET(krx::SET_ALTFILE)),
        alternate_(krx::SET(krx::SET_ALTERNATE)),
        extra_(krx::SET(krx::SET_EXTRA, false)) {}
  ~SavedOutput() {
    // An unwinding path cannot take a second error.
    try {
      restore();
    } catch (...) {
    }
  }
  SavedOutput(const SavedOutput&) = delete;
  SavedOutput& operator=(const SavedOutput&) = delete;

  void restore() {
    if (restored_) return;
    restored_ = true;
    krx::SET(krx::SET_PRINTER, printer_);
    krx::SET(krx::SET_CONSOLE, console_);
    // An alternate file that was open before is opened again for appending:
    // opening it afresh would wipe what had been written to it.
    krx::SET(krx::SET_ALTFILE, altFile_, !krx::EMPTY(altFile_));
    krx::SET(krx::SET_ALTERNATE, alternate_);
    krx::SET(krx::SET_EXTRA, extra_);
  }

 private:
  krx::Item printer_, console_, altFile_, alternate_, extra_;
  bool restored_ = false;
};

bool windowed() {
  return krx::APPTYPE() == 3;
}

// The closing word to the user: a tone and a console line, repeated on the
// standard error stream when there is no console; a box when windowed.
void tellUser(const std::string& text) {
  if (windowed()) {
    krx::MSGBOX(text);
    return;
  }
  krx::TONE(660, 5);
  krx::QOUT({text});
  // Standard error as well when the console shows it: the program's screen
  // is taken down as the program ends, and the message must outlive it (the
  // terminal shows standard error once it is restored). A line feed and a
  // carriage return before the text and nothing after it, the bytes a stored
  // log or a caller may rely on.
  krx::OUTERR(krx::CHR(10) + krx::CHR(13) + text);
}

bool hasConsoleWindow() {
  auto window = krx::SETAPPWINDOW().as<krx::Object>();
  return window && window->isDerivedFrom(krx::kRootCrtClass);
}

void addArguments(std::vector<std::string>& lines, const krx::Item& args) {
  if (!args.isArray()) {
    lines.push_back(krx::SPACE(11) + "-> NIL");
    return;
  }
  for (const krx::Item& arg : *args.array()) {
    const char type = arg.type();
    std::string text =
        krx::joinDisplayForms({krx::SPACE(10) + "-> VALTYPE:", std::string(1, type)});
    if (type == 'O')
      text += krx::joinDisplayForms({" CLASS:", arg.object()->className()});
    else
      text += krx::joinDisplayForms({" VALUE:", krx::VAR2CHAR(arg)});
    lines.push_back(text);
  }
}

// The report, line by line. It is made before it is written, so that a
// report that does not reach the file whole can still go elsewhere.
std::vector<std::string> reportLines(const krx::Error& e, int nStack) {
  const std::string rule = krx::REPLICATE("-", 78);
  std::vector<std::string> lines{
      rule,
      krx::joinDisplayForms(
          {"ERROR LOG of \"" + krx::APPNAME(true) + "\" Date:", krx::DATE(), krx::TIME()}),
      "",
      krx::joinDisplayForms({"Kestrix version     :", krx::VERSION() + "." + krx::VERSION(3)}),
      krx::joinDisplayForms({"Operating system    :", krx::OS()}),
      rule,
      "oError:args         :",
  };
  addArguments(lines, e.args);

  const std::array<std::pair<const char*, const krx::Item*>, 14> members{{
      {"oError:canDefault   :", &e.canDefault},
      {"oError:canRetry     :", &e.canRetry},
      {"oError:canSubstitute:", &e.canSubstitute},
      {"oError:cargo        :", &e.cargo},
      {"oError:description  :", &e.description},
      {"oError:filename     :", &e.filename},
      {"oError:genCode      :", &e.genCode},
      {"oError:operation    :", &e.operation},
      {"oError:osCode       :", &e.osCode},
      {"oError:severity     :", &e.severity},
      {"oError:subCode      :", &e.subCode},
      {"oError:subSystem    :", &e.subSystem},
      {"oError:thread       :", &e.thread},
      {"oError:tries        :", &e.tries},
  }};
  for (const auto& [label, value] : members)
    lines.push_back(krx::joinDisplayForms({label, *value}));

  lines.insert(lines.end(), {rule, "CALLSTACK:", rule});
  for (int level = nStack + 1; !krx::PROCNAME(level).empty(); ++level)
    lines.push_back(krx::joinDisplayForms({"Called from", callerText(level)}));
  lines.push_back("");
  return lines;
}

// The report as the file holds it: every line begins with CR LF.
std::string reportText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += "\r\n" + l;
  return text;
}

// While the report is written: a failed write of the log file itself is
// noted and its output dropped, and never put to the user as a question (the
// user is already leaving on an error, and an answer of "Exit with LOG file"
// would only fail again). Every other error goes to the handler found here.
class WriteFailureWatch {
 public:
  explicit WriteFailureWatch(const std::string& fileName)
      : guard_(krx::Item(watcher(fileName, krx::ERRORBLOCK(), failed_))) {}
  bool failed() const { return *failed_; }

 private:
  static krx::BlockRef watcher(std::string fileName, krx::Item previous,
                               std::shared_ptr<bool> failed) {
    return krx::makeBlock("{|e| LogWriteWatch(e)}", [=](std::span<const krx::Item> a) -> krx::Item {
      auto e = a.empty() ? nullptr : a[0].as<krx::Error>();
      if (e && e->genCode.numOr(0) == static_cast<double>(krx::EG_WRITE) &&
          e->filename.strOr("") == fileName) {
        *failed = true;
        return false;
      }
      if (previous.isBlock()) return previous.block()->eval(a);
      // No handler before us: the runtime's own way with an error nobody takes.
      krx::ScopedErrorBlock none(previous);
      if (e) krx::raise(e);
      return false;
    });
  }

  std::shared_ptr<bool> failed_ = std::make_shared<bool>(false);
  krx::ScopedErrorBlock guard_;
};

}  // namespace

void ERRORLOG(const krx::ErrorRef& oError, int nStack) {
  KRX_ROUTINE("ERRORLOG");
  // Made first, while an error in it still reaches the handler found here.
  const std::vector<std::string> report = reportLines(*oError, nStack);
  // Opening the file is expected to fail at times: such an error breaks out
  // to the loop below instead of reaching the default handler.
  std::optional<krx::ScopedErrorBlock> quiet;
  quiet.emplace(krx::Item(krx::compileBlock("{|e| Break(e)}")));

  SavedOutput saved;
  krx::SET(krx::SET_PRINTER, "OFF");
  krx::SET(krx::SET_CONSOLE, "ON");
  if (!hasConsoleWindow()) krx::SET(krx::SET_CONSOLE, "OFF");

  std::string extension = "LOG";
  int counter = 0;
  std::string name;
  for (bool open = false; !open;) {
    name = "KRXERROR." + extension;
    krx::sequence(
        [&] {
          krx::SET(krx::SET_ALTFILE, name, false);
          krx::SET(krx::SET_ALTERNATE, "ON");
          open = true;
        },
        [&](const krx::Item&) {
          ++counter;
          extension = krx::PADL(std::to_string(counter), 3, '0');
        });
    if (!open && counter > kLastNumberedLog) {
      // The error that ends the program is not lost with the file.
      krx::OUTERR(reportText(report));
      tellUser(kCannotOpen);
      krx::ERRORLEVEL(1);
      krx::_QUIT();
    }
  }
  // From here on an error reaches the default handler again.
  quiet.reset();

  bool whole = false;
  {
    WriteFailureWatch watch(name);
    for (const std::string& l : report) krx::QOUT({l});
    whole = !watch.failed();
  }

  krx::SET(krx::SET_ALTFILE, "");
  krx::SET(krx::SET_ALTERNATE, "OFF");
  if (whole) {
    tellUser(kWrittenTo + name);
  } else {
    // The terminal shows standard error once it is restored, after the end.
    krx::OUTERR(reportText(report));
    tellUser(kNotWrittenTo + name + kWentToStandardError);
  }
  saved.restore();
}

}  // namespace potclock
