// Objects and callables: the two reference kinds of Item.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "runtime/lang/item.h"

namespace krx {

// A variable with shared storage: what a reference parameter or a variable
// captured by a callable binds to, so that a callable never outlives it.
using VarRef = std::shared_ptr<Item>;
inline VarRef makeVar(Item initial = {}) {
  return std::make_shared<Item>(std::move(initial));
}

// Base of every runtime object (Get, Error, ReadStatus, work-area handles).
// Members and methods are reachable by name, without regard to case, so that
// text compiled at run time can use them (`o:name`, `o:name(args)`).
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  virtual std::string className() const = 0;
  // Member read and write; an unknown name raises a runtime error.
  virtual Item getMember(std::string_view name);
  virtual void setMember(std::string_view name, const Item& value);
  // Method call; an unknown method raises a runtime error.
  virtual Item send(std::string_view method, std::span<const Item> args);
  // True when the object's class is `className` or derives from it.
  virtual bool isDerivedFrom(std::string_view className) const;
};

// A callable value. It is evaluated with any number of arguments (missing
// ones read as nil) and keeps the source text it was made from.
class Block {
 public:
  explicit Block(std::string source) : source_(std::move(source)) {}
  virtual ~Block() = default;
  const std::string& source() const { return source_; }

  Item eval(std::span<const Item> args) { return call(args); }
  Item eval(std::initializer_list<Item> args) {
    return call(std::span<const Item>(args.begin(), args.size()));
  }
  Item eval() { return call({}); }

 protected:
  virtual Item call(std::span<const Item> args) = 0;

 private:
  std::string source_;
};

using NativeFn = std::function<Item(std::span<const Item>)>;

// Argument `i` of a call; one the caller left out reads as nil, as it does in
// compiled text.
const Item& arg(std::span<const Item> args, std::size_t i);

// A callable made from C++ code; `source` is the text it stands for.
BlockRef makeBlock(std::string source, NativeFn fn);

}  // namespace krx
