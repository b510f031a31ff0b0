// What the terminal understands, read from its terminfo entry.
//
// Only the expansion of parameterised strings is taken from the terminal
// library; the entry is read by terminfoentry.h, and the painting and the
// key decoding are our own (see terminal.h for why).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace krx {

struct TermCaps {
  // Strings as terminfo gives them (parameterised ones unexpanded); empty
  // when the terminal lacks the capability.
  std::string cup, cuf, cuf1, cub, cub1, cud, cud1, cuu, cuu1, vpa, hpa, cr;
  std::string el, clear, sgr0, setaf, setab, bold, civis, cnorm;
  std::string smcup, rmcup, smkx, rmkx, bel;
  int colors = 0;
  // The size to take when the terminal does not say: LINES and COLUMNS from
  // the environment, else the entry's, else 24 by 80.
  int lines = 0, cols = 0;
  bool bce = false;    // erasing fills with the current background
  bool am = false;     // writing the last column wraps
  bool xenl = false;   // ...but only at the next character
  bool mouse = false;  // xterm mouse reports (SGR encoding)
  // Key sequences (ESC-led) and their INKEY codes.
  std::vector<std::pair<std::string, int>> keys;

  // The terminfo entry of terminal type `term`, or nullopt when there is
  // none (or it names no screen terminal: a generic or a printing one).
  static std::optional<TermCaps> load(const std::string& term);
  // Expands a parameterised string.
  static std::string param(const std::string& cap, int a);
  static std::string param(const std::string& cap, int a, int b);
};

}  // namespace krx
