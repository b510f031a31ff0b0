// A terminal emulator library behind the questions tests and benchmarks ask
// of a terminal: what each cell shows and in which colours, where the
// cursor is, which screen is up. Bytes played into it are shown as a real
// terminal (xterm-256color) would show them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct VTerm;
struct VTermScreen;
struct VTermState;

namespace e2e {

class Emulator {
 public:
  Emulator(int rows, int cols);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  void play(std::string_view bytes);
  void resize(int rows, int cols);
  int rows() const;
  int cols() const;
  // Where the terminal's answers to queries go; dropped when unset.
  void onAnswer(std::function<void(std::string_view)> answer) { answer_ = std::move(answer); }

  struct Colour {
    bool isDefault = true;
    int index = -1;  // palette index when not the default
    int rgb = -1;    // 0xRRGGBB for a colour given directly
    bool operator==(const Colour&) const = default;
    // The palette index, -1 for the default or a direct colour.
    int palette() const { return isDefault ? -1 : index; }
  };
  struct Cell {
    std::string text;  // UTF-8, a blank for an empty cell
    Colour fg, bg;
    bool bold = false;
    bool reverse = false;
    bool operator==(const Cell&) const = default;
  };
  Cell cell(int row, int col) const;
  std::string cellText(int row, int col) const { return cell(row, col).text; }
  Colour foreground(int row, int col) const { return cell(row, col).fg; }
  Colour background(int row, int col) const { return cell(row, col).bg; }
  bool bold(int row, int col) const { return cell(row, col).bold; }
  // `count` cells of a row from `col`; a whole row (trailing blanks kept);
  // all of them joined with line feeds.
  std::string cellsText(int row, int col, int count) const;
  std::string rowText(int row) const { return cellsText(row, 0, cols()); }
  std::string screenText() const;
  // (row, column), 0-based.
  std::pair<int, int> cursor() const;

  bool altScreen() const { return altScreen_; }
  bool cursorVisible() const { return cursorVisible_; }
  // Times the alternate screen was switched to, and bells.
  int altScreenEntries() const { return altScreenEntries_; }
  int bells() const { return bells_; }
  // The pen (current drawing attributes) is the terminal's default.
  bool penIsDefault() const;
  // Control sequences of the form CSI ... final that the emulator does not
  // act on, rebuilt as bytes ("\x1b[9;0]"), in the order they arrived.
  const std::vector<std::string>& unknownSequences() const { return unknown_; }

 private:
  friend struct EmulatorCallbacks;

  VTerm* vt_ = nullptr;
  VTermScreen* screen_ = nullptr;
  VTermState* state_ = nullptr;
  std::function<void(std::string_view)> answer_;
  bool altScreen_ = false;
  bool cursorVisible_ = true;
  int altScreenEntries_ = 0;
  int bells_ = 0;
  std::vector<std::string> unknown_;
};

}  // namespace e2e
