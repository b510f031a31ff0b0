#include "runtime/backends/termcaps.h"

#include <cstring>

#include "runtime/console/console.h"

#include "runtime/backends/startup.h"
#include "runtime/console/events.h"

// The terminfo routines, declared here rather than through <term.h>: that
// header defines a macro for every capability name (`bell`, `lines`,
// `columns`, ...), which would rewrite ordinary identifiers in this file.
extern "C" {
int setupterm(const char* term, int fd, int* errret);
char* tigetstr(const char* capname);
int tigetnum(const char* capname);
int tigetflag(const char* capname);
char* tiparm(const char* str, ...);
struct term;
term* set_curterm(term* terminal);
int del_curterm(term* terminal);
}

namespace krx {

namespace {

constexpr char kEsc = '\x1b';

// terminfo padding ("$<5>") is for hardware terminals that needed delays;
// nothing here is that slow, and the bytes would show on screen.
std::string stripPadding(const char* s) {
  std::string out;
  if (s == nullptr) return out;
  for (const char* p = s; *p != '\0'; ++p) {
    if (p[0] == '$' && p[1] == '<') {
      const char* close = std::strchr(p, '>');
      if (close != nullptr) {
        p = close;
        continue;
      }
    }
    out += *p;
  }
  return out;
}

std::string capString(const char* name) {
  char* s = tigetstr(name);
  if (s == nullptr || s == reinterpret_cast<char*>(-1)) return {};
  return stripPadding(s);
}

}  // namespace

std::optional<TermCaps> TermCaps::load(const std::string& name, int fd) {
  int status = 0;
  if (setupterm(name.c_str(), fd, &status) != 0 || status != 1) return std::nullopt;
  TermCaps c;
  c.cup = capString("cup");
  c.cuf = capString("cuf");
  c.cuf1 = capString("cuf1");
  c.cub = capString("cub");
  c.cub1 = capString("cub1");
  c.cud = capString("cud");
  c.cud1 = capString("cud1");
  c.cuu = capString("cuu");
  c.cuu1 = capString("cuu1");
  c.vpa = capString("vpa");
  c.hpa = capString("hpa");
  c.cr = capString("cr");
  c.el = capString("el");
  c.clear = capString("clear");
  c.sgr0 = capString("sgr0");
  c.setaf = capString("setaf");
  c.setab = capString("setab");
  c.bold = capString("bold");
  c.civis = capString("civis");
  c.cnorm = capString("cnorm");
  c.smcup = capString("smcup");
  c.rmcup = capString("rmcup");
  c.smkx = capString("smkx");
  c.rmkx = capString("rmkx");
  c.bel = capString("bel");
  c.colors = std::max(tigetnum("colors"), 0);
  c.lines = std::max(tigetnum("lines"), 0);
  c.cols = std::max(tigetnum("cols"), 0);
  c.bce = tigetflag("bce") > 0;
  c.am = tigetflag("am") > 0;
  c.xenl = tigetflag("xenl") > 0;
  c.mouse = !capString("kmous").empty();

  // What the keys send in this terminal; the decoder also knows the common
  // forms, so these matter for terminals that differ from them.
  static const std::pair<const char*, int> kKeyCaps[] = {
      {"kcuu1", K_UP},        {"kcud1", K_DOWN},       {"kcub1", K_LEFT},
      {"kcuf1", K_RIGHT},     {"khome", K_HOME},       {"kend", K_END},
      {"kpp", K_PGUP},        {"knp", K_PGDN},         {"kich1", K_INS},
      {"kdch1", K_DEL},       {"kcbt", K_SH_TAB},      {"kent", K_ENTER},
      {"kLFT5", K_CTRL_LEFT}, {"kRIT5", K_CTRL_RIGHT}, {"kHOM5", K_CTRL_HOME},
      {"kEND5", K_CTRL_END},  {"kPRV5", K_CTRL_PGUP},  {"kNXT5", K_CTRL_PGDN},
  };
  for (const auto& [cap, code] : kKeyCaps) {
    std::string seq = capString(cap);
    if (seq.size() >= 2 && seq[0] == kEsc) c.keys.emplace_back(std::move(seq), code);
  }
  // Everything needed is copied out; expanding parameters needs no entry.
  del_curterm(set_curterm(nullptr));
  return c;
}

std::string TermCaps::param(const std::string& cap, int a) {
  if (cap.empty()) return {};
  return stripPadding(tiparm(cap.c_str(), a));
}

std::string TermCaps::param(const std::string& cap, int a, int b) {
  if (cap.empty()) return {};
  return stripPadding(tiparm(cap.c_str(), a, b));
}

}  // namespace krx
