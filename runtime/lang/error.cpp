#include "runtime/lang/error.h"

#include <array>
#include <exception>
#include <utility>

#include "runtime/lang/langcontext.h"
#include "runtime/lang/registry.h"

namespace krx {

namespace {

// Member names as text compiled at run time spells them, with their storage.
constexpr std::array<std::pair<const char*, Item Error::*>, 15> kMembers{{
    {"GENCODE", &Error::genCode},
    {"SUBSYSTEM", &Error::subSystem},
    {"SUBCODE", &Error::subCode},
    {"SEVERITY", &Error::severity},
    {"DESCRIPTION", &Error::description},
    {"FILENAME", &Error::filename},
    {"OPERATION", &Error::operation},
    {"OSCODE", &Error::osCode},
    {"ARGS", &Error::args},
    {"CANDEFAULT", &Error::canDefault},
    {"CANRETRY", &Error::canRetry},
    {"CANSUBSTITUTE", &Error::canSubstitute},
    {"CARGO", &Error::cargo},
    {"THREAD", &Error::thread},
    {"TRIES", &Error::tries},
}};

}  // namespace

Item* Error::member(std::string_view name) {
  std::string upper = upperAscii(name);
  for (const auto& [memberName, ptr] : kMembers)
    if (upper == memberName) return &(this->*ptr);
  return nullptr;
}

Item Error::getMember(std::string_view name) {
  if (Item* m = member(name)) return *m;
  return Object::getMember(name);
}

void Error::setMember(std::string_view name, const Item& value) {
  if (Item* m = member(name)) {
    *m = value;
    return;
  }
  Object::setMember(name, value);
}

Item Error::send(std::string_view method, std::span<const Item> operands) {
  // Members double as methods: o:description() reads, o:cargo(x) writes.
  if (Item* m = member(method)) {
    if (!operands.empty()) *m = operands[0];
    return *m;
  }
  return Object::send(method, operands);
}

ErrorRef makeError(int genCode, std::string description, std::string operation,
                   std::vector<Item> args, int subCode) {
  auto e = std::make_shared<Error>();
  e->genCode = genCode;
  e->subCode = subCode;
  e->description = std::move(description);
  e->operation = std::move(operation);
  if (!args.empty()) e->args = std::make_shared<Array>(std::move(args));
  return e;
}

Recovery raise(const ErrorRef& error) {
  LangContext& rt = LANG();
  // No handler yet, or one that keeps failing inside itself: give up.
  if (!rt.errors.handler.isBlock() || rt.errors.handlerDepth > 16) {
    std::string text = "Error " + error->subSystem.strOr("????") + "/" +
                       std::to_string(static_cast<long>(error->subCode.numOr(0))) + "  " +
                       error->description.strOr("") + "\n";
    rt.errorOutput(text);
    rt.errors.errorLevel = 1;
    throw QuitSignal{};
  }
  Item handler = rt.errors.handler;  // the handler may replace itself
  struct Depth {
    int& n;
    explicit Depth(int& d) : n(d) { ++n; }
    ~Depth() { --n; }
  } depth(rt.errors.handlerDepth);
  Item answer = handler.block()->eval({Item(error)});
  if (answer.isLog()) {
    if (answer.logOr(false) && error->canRetry.logOr(false)) {
      error->tries = error->tries.numOr(0) + 1;
      return {Recovery::Retry, {}};
    }
    return {Recovery::Default, {}};
  }
  if (!answer.isNil() && error->canSubstitute.logOr(false))
    return {Recovery::Substitute, std::move(answer)};
  return {Recovery::Default, {}};
}

Item raiseForResult(const ErrorRef& error, Item fallback) {
  for (;;) {
    Recovery r = raise(error);
    if (r.kind == Recovery::Substitute) return r.value;
    if (r.kind == Recovery::Default) return fallback;
  }
}

void BREAK(Item value) {
  throw BreakSignal{std::move(value)};
}
void _QUIT() {
  throw QuitSignal{};
}

Item ERRORBLOCK() {
  return LANG().errors.handler;
}

Item ERRORBLOCK(const Item& handler) {
  Item previous = LANG().errors.handler;
  if (handler.isBlock() || handler.isNil()) LANG().errors.handler = handler;
  return previous;
}

int ERRORLEVEL() {
  return LANG().errors.errorLevel;
}

int ERRORLEVEL(int code) {
  int previous = LANG().errors.errorLevel;
  LANG().errors.errorLevel = code;
  return previous;
}

ProcFrame::ProcFrame(std::string name, int line)
    : depth_(LANG().errors.frames.size()), uncaught_(std::uncaught_exceptions()) {
  ErrorState& errors = LANG().errors;
  // A routine that begins means the last exception was caught.
  if (!errors.unwound.empty()) errors.unwound.clear();
  errors.frames.push_back({std::move(name), line});
}

ProcFrame::~ProcFrame() {
  if (!hasLanguage()) return;
  ErrorState& errors = LANG().errors;
  // The first routine that an exception leaves is where it arose: whoever
  // catches it at the top can still say where that was.
  if (std::uncaught_exceptions() > uncaught_ && errors.unwound.empty())
    errors.unwound = errors.frames;
  errors.frames.resize(depth_);
}

const std::vector<FrameInfo>& unwoundFrames() {
  return LANG().errors.unwound;
}

void forgetUnwoundFrames() {
  if (hasLanguage()) LANG().errors.unwound.clear();
}

void ProcFrame::setLine(int line) {
  auto& frames = LANG().errors.frames;
  if (depth_ < frames.size()) frames[depth_].line = line;
}

void markCallerLine(const CallSite& from) {
  auto& frames = LANG().errors.frames;
  if (from.line() != 0 && !frames.empty()) frames.back().line = from.line();
}

std::string PROCNAME(int level) {
  const auto& frames = LANG().errors.frames;
  if (level < 0 || static_cast<std::size_t>(level) >= frames.size()) return "";
  return frames[frames.size() - 1 - level].name;
}

int PROCLINE(int level) {
  const auto& frames = LANG().errors.frames;
  if (level < 0 || static_cast<std::size_t>(level) >= frames.size()) return 0;
  return frames[frames.size() - 1 - level].line;
}

}  // namespace krx
