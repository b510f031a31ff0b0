// Get: the edit-field object. One field of a form, bound to its variable
// through an accessor callable; the form system drives it only through the
// members and methods below.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/console/screen.h"
#include "runtime/lang/object.h"

namespace krx {

// How a field was left, 0 to 10. Text compiled at run time may also assign
// NIL: that is kept as assigned, and the readers take it as 0.
class ExitStateValue {
 public:
  constexpr ExitStateValue(int n = 0) : n_(n) {}
  static constexpr ExitStateValue nil() {
    ExitStateValue v;
    v.nil_ = true;
    return v;
  }
  constexpr operator int() const { return n_; }
  constexpr bool isNil() const { return nil_; }

 private:
  int n_ = 0;
  bool nil_ = false;
};

class Get : public Object {
 public:
  // GET():new(row, col, accessor, name, picture, colour, valid, when)
  static std::shared_ptr<Get> New(int row, int col, BlockRef accessor, Item name = {},
                                  std::string picture = "", Item color = {}, Item valid = {},
                                  Item when = {});

  // --- Members -------------------------------------------------------------
  int row = 0;
  int col = 0;
  Item name;       // the variable's name, or nil
  Item preBlock;   // WHEN callable or nil
  Item postBlock;  // VALID callable or nil
  Item reader;     // custom reader callable or nil
  Item cargo;
  ExitStateValue exitState;  // how the field was left
  int pos = 0;               // cursor position in the buffer, from 1 (0 without focus)
  // The buffer was edited since focus. Reset() leaves it alone, so that a
  // VALID routine running after the assignment still sees the edit; undo()
  // makes it tell whether the variable differs from the focus-time value.
  bool changed = false;

  bool hasFocus() const { return hasFocus_; }
  // True when the cursor has moved past the editable positions, or there are none.
  bool typeOut() const { return typeOut_; }
  std::string type() const;  // "C", "N", "D" or "L"
  const std::string& buffer() const { return buffer_; }
  int width() const;  // columns the field shows
  const std::string& picture() const { return picture_; }
  const BlockRef& block() const { return block_; }
  const std::string& colorSpec() const { return colorSpec_; }
  // True when the last character typed was refused by the picture.
  bool rejected() const { return rejected_; }

  // --- Focus and screen ------------------------------------------------------
  void setFocus();
  void killFocus();
  void display();

  // --- Value transfer --------------------------------------------------------
  void _assign();  // buffer's value into the variable
  void undo();     // value at focus time back into the buffer
  // After assignment, before VALID: the buffer shows the variable again, the
  // cursor goes back to the first editable position and typeOut is cleared,
  // so a refused value can be edited anew; `changed` is kept.
  void Reset();
  void updateBuffer();  // reload from the variable
  Item varGet();
  void varPut(const Item& value);
  bool badDate() const;

  // --- Cursor ------------------------------------------------------------------
  void home();
  void _end();
  void left();
  void right();
  void wordLeft();
  void wordRight();

  // --- Deletion ----------------------------------------------------------------
  void backSpace();
  void del();  // the `delete` method
  void delWordLeft();
  void delWordRight();
  void delEnd();

  // --- Typing ------------------------------------------------------------------
  void insert(char c);
  void overstrike(char c);
  void condClear();
  void toDecPos();

  // Buffer position shown at a screen cell, from 1; 0 outside the field.
  int posInBuffer(int row, int col) const;

  // --- Reachable by name from compiled text ---------------------------------
  std::string className() const override { return "GET"; }
  Item getMember(std::string_view name) override;
  void setMember(std::string_view name, const Item& value) override;
  Item send(std::string_view method, std::span<const Item> args) override;

 private:
  BlockRef block_;
  std::string picture_;
  std::string colorSpec_;
  std::string buffer_;
  Item original_;  // value when focus was taken
  bool hasFocus_ = false;
  bool typeOut_ = false;
  std::string functions_;  // picture functions after "@", upper case
  std::string template_;   // picture template, one character per buffer position
  std::string mask_;       // the template in force for the current type and value
  char type_ = 'U';
  bool clear_ = false;  // the next typed character starts a new value
  bool rejected_ = false;
  Attr unselected_ = 0x70;
  Attr enhanced_ = 0x70;

  void parsePicture();
  void setColors(const Item& color);
  void load(const Item& value);
  std::string bufferOf(const Item& value) const;
  std::string numberText(double n) const;
  std::string blankBuffer() const;
  Item bufferValue(bool& ok);
  std::optional<Date> bufferDate() const;
  std::vector<int> editable() const;  // editable buffer positions, from 1
  // The start of a cursor move: the editable positions, none (nothing to
  // move) without focus or with nothing to edit, which is then typed out.
  std::vector<int> startMove();
  int firstEditable() const;
  void editFromStart();
  void stepPast(const std::vector<int>& e, std::size_t k);
  template <class Remove>
  void deleteWith(Remove&& remove);
  int index(const std::vector<int>& e) const;  // pos's slot in `e`, the nearest editable one
  std::optional<char> accept(char maskChar, char c) const;
  void typeIn(char c, bool insertMode);
  void deleteAt(const std::vector<int>& e, std::size_t k, std::size_t count);
  int wordLeftOf(const std::vector<int>& e, std::size_t k) const;
  int wordRightOf(const std::vector<int>& e, std::size_t k) const;
  void ring() const;
};

using GetRef = std::shared_ptr<Get>;

// The GET class object, so that compiled text can write
// GET():new(row, col, accessor, name, picture, colour, valid, when).
Item GET();

}  // namespace krx
