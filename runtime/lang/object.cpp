#include "runtime/lang/object.h"

#include "runtime/lang/error.h"
#include "runtime/lang/registry.h"

namespace krx {

Item Object::getMember(std::string_view name) {
  auto e = makeError(EG_NOVARMETHOD, "No exported member: " + className() + ":" + std::string(name),
                     std::string(name), {Item(shared_from_this())});
  e->canSubstitute = true;
  return raiseForResult(e);
}

void Object::setMember(std::string_view name, const Item& value) {
  auto e = makeError(EG_NOVARMETHOD, "No exported member: " + className() + ":" + std::string(name),
                     "_" + std::string(name), {Item(shared_from_this()), value});
  e->canDefault = true;
  raiseForResult(e);
}

Item Object::send(std::string_view method, std::span<const Item> args) {
  std::vector<Item> operands{Item(shared_from_this())};
  operands.insert(operands.end(), args.begin(), args.end());
  auto e = makeError(EG_NOMETHOD, "No exported method: " + className() + ":" + std::string(method),
                     std::string(method), std::move(operands));
  e->canSubstitute = true;
  return raiseForResult(e);
}

bool Object::isDerivedFrom(std::string_view name) const {
  return upperAscii(className()) == upperAscii(name);
}

namespace {
class NativeBlock final : public Block {
 public:
  NativeBlock(std::string source, NativeFn fn) : Block(std::move(source)), fn_(std::move(fn)) {}

 protected:
  Item call(std::span<const Item> args) override { return fn_(args); }

 private:
  NativeFn fn_;
};
}  // namespace

const Item& arg(std::span<const Item> args, std::size_t i) {
  static const Item nil;
  return i < args.size() ? args[i] : nil;
}

BlockRef makeBlock(std::string source, NativeFn fn) {
  return std::make_shared<NativeBlock>(std::move(source), std::move(fn));
}

}  // namespace krx
