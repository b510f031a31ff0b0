// Get: the edit-field object. One field of a form, bound to its variable
// through an accessor callable; the form system drives it only through the
// members and methods below.
#pragma once

#include <memory>
#include <string>

#include "runtime/object.h"

namespace krx {

class Get : public Object {
 public:
  // GET():new(row, col, accessor, name, picture, colour, valid, when)
  static std::shared_ptr<Get> New(int row, int col, BlockRef accessor, Item name = {},
                                  std::string picture = "", Item color = {}, Item valid = {},
                                  Item when = {});

  // --- Members -------------------------------------------------------------
  int row = 0;
  int col = 0;
  Item name;                   // the variable's name, or nil
  Item preBlock;               // WHEN callable or nil
  Item postBlock;              // VALID callable or nil
  Item reader;                 // custom reader callable or nil
  Item cargo;
  int exitState = 0;           // how the field was left, 0 to 10
  int pos = 0;                 // cursor position in the buffer, from 1 (0 without focus)
  bool changed = false;        // the buffer was edited since focus

  bool hasFocus() const { return hasFocus_; }
  // True when the cursor has moved past the editable positions, or there are none.
  bool typeOut() const { return typeOut_; }
  std::string type() const;  // "C", "N", "D" or "L"
  const std::string& buffer() const { return buffer_; }
  int width() const;         // columns the field shows
  const std::string& picture() const { return picture_; }
  const BlockRef& block() const { return block_; }

  // --- Focus and screen ------------------------------------------------------
  void setFocus();
  void killFocus();
  void display();

  // --- Value transfer --------------------------------------------------------
  void _assign();        // buffer's value into the variable
  void undo();           // value at focus time back into the buffer
  void Reset();          // after assignment, before VALID
  void updateBuffer();   // reload from the variable
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
  // (the edit-field module adds what it needs)
};

using GetRef = std::shared_ptr<Get>;

}  // namespace krx
