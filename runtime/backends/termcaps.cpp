#include "runtime/backends/termcaps.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/backends/terminfoentry.h"
#include "runtime/console/console.h"

// The terminal library's expansion of parameterised strings, declared here
// rather than through <term.h>: that header defines a macro for every
// capability name (`bell`, `lines`, `columns`, ...), which would rewrite
// ordinary identifiers in this file.
extern "C" char* tiparm(const char* str, ...);

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

// The places of the capabilities used here in the database's fixed order.
namespace cap {
constexpr std::size_t am = 1, xenl = 4, gn = 6, hc = 7, bce = 28;
constexpr std::size_t cols = 0, lines = 2, colors = 13;
constexpr std::size_t bel = 1, cr = 2, clear = 5, el = 6, hpa = 8, cup = 10, cud1 = 11, civis = 13,
                      cub1 = 14, cnorm = 16, cuf1 = 17, cuu1 = 19, bold = 27, smcup = 28, sgr0 = 39,
                      rmcup = 40, kdch1 = 59, kcud1 = 61, khome = 76, kich1 = 77, kcub1 = 79,
                      knp = 81, kpp = 82, kcuf1 = 83, kcuu1 = 87, rmkx = 88, smkx = 89, cud = 107,
                      cub = 111, cuf = 112, cuu = 114, vpa = 127, kcbt = 148, kend = 164,
                      kent = 165, kmous = 355, setaf = 359, setab = 360;
}  // namespace cap

// The size to take when the terminal does not give one, as the terminal
// library worked it out: LINES or COLUMNS from the environment, else the
// entry's, else 24 by 80.
int sizeFallback(const char* variable, int fromEntry, int otherwise) {
  if (const char* text = std::getenv(variable); text != nullptr && *text != '\0') {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 0);
    if (*end == '\0' && value > 0 && value <= std::numeric_limits<int>::max())
      return static_cast<int>(value);
  }
  return fromEntry > 0 ? fromEntry : otherwise;
}

}  // namespace

std::optional<TermCaps> TermCaps::load(const std::string& name) {
  const std::optional<TerminfoEntry> entry = TerminfoEntry::find(name, TerminfoEntry::searchPath());
  // A generic type names no real terminal, and a printing one cannot hold a screen.
  if (!entry || entry->flag(cap::gn) || entry->flag(cap::hc)) return std::nullopt;
  const auto str = [&entry](std::size_t index) { return stripPadding(entry->string(index)); };
  TermCaps c;
  c.cup = str(cap::cup);
  c.cuf = str(cap::cuf);
  c.cuf1 = str(cap::cuf1);
  c.cub = str(cap::cub);
  c.cub1 = str(cap::cub1);
  c.cud = str(cap::cud);
  c.cud1 = str(cap::cud1);
  c.cuu = str(cap::cuu);
  c.cuu1 = str(cap::cuu1);
  c.vpa = str(cap::vpa);
  c.hpa = str(cap::hpa);
  c.cr = str(cap::cr);
  c.el = str(cap::el);
  c.clear = str(cap::clear);
  c.sgr0 = str(cap::sgr0);
  c.setaf = str(cap::setaf);
  c.setab = str(cap::setab);
  c.bold = str(cap::bold);
  c.civis = str(cap::civis);
  c.cnorm = str(cap::cnorm);
  c.smcup = str(cap::smcup);
  c.rmcup = str(cap::rmcup);
  c.smkx = str(cap::smkx);
  c.rmkx = str(cap::rmkx);
  c.bel = str(cap::bel);
  c.colors = std::max(entry->number(cap::colors), 0);
  c.lines = sizeFallback("LINES", entry->number(cap::lines), 24);
  c.cols = sizeFallback("COLUMNS", entry->number(cap::cols), 80);
  c.bce = entry->flag(cap::bce);
  c.am = entry->flag(cap::am);
  c.xenl = entry->flag(cap::xenl);
  c.mouse = !str(cap::kmous).empty();

  // What the keys send in this terminal; the decoder also knows the common
  // forms, so these matter for terminals that differ from them. The
  // modified keys are extended capabilities, known by name only.
  static constexpr std::pair<std::size_t, int> kKeyCaps[] = {
      {cap::kcuu1, K_UP},   {cap::kcud1, K_DOWN}, {cap::kcub1, K_LEFT},  {cap::kcuf1, K_RIGHT},
      {cap::khome, K_HOME}, {cap::kend, K_END},   {cap::kpp, K_PGUP},    {cap::knp, K_PGDN},
      {cap::kich1, K_INS},  {cap::kdch1, K_DEL},  {cap::kcbt, K_SH_TAB}, {cap::kent, K_ENTER},
  };
  // Names held in place rather than pointed to: pointers would be relocated
  // when the program is loaded, and the page holding them made private.
  static constexpr struct {
    char name[6];
    int code;
  } kModifiedKeyCaps[] = {
      {"kLFT5", K_CTRL_LEFT}, {"kRIT5", K_CTRL_RIGHT}, {"kHOM5", K_CTRL_HOME},
      {"kEND5", K_CTRL_END},  {"kPRV5", K_CTRL_PGUP},  {"kNXT5", K_CTRL_PGDN},
  };
  const auto addKey = [&c](std::string seq, int code) {
    if (seq.size() >= 2 && seq[0] == kEsc) c.keys.emplace_back(std::move(seq), code);
  };
  for (const auto& [index, code] : kKeyCaps) addKey(str(index), code);
  for (const auto& [capName, code] : kModifiedKeyCaps)
    addKey(stripPadding(entry->extendedString(capName)), code);
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
