// The program's own module-wide state, kept by the runtime context: a value
// per type, made on first use and gone with the context. A program has one
// runtime, so such a value is one per program as a module global would be;
// a test has a runtime per case, so each case starts without the last one's.
#pragma once

#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

namespace krx {

class ProgramState {
 public:
  ProgramState() = default;
  ProgramState(const ProgramState&) = delete;
  ProgramState& operator=(const ProgramState&) = delete;
  // The newest first, as module globals go at the end of a program.
  ~ProgramState() {
    while (!slots_.empty()) slots_.pop_back();
  }

  // The value of type T, default-made the first time it is asked for. The
  // reference stays good for the context's life. A module keys its state by
  // a type of its own, so no other module can reach it by accident.
  template <class T>
  T& get() {
    const std::type_index key(typeid(T));
    // A handful of modules keep state: a scan beats a hash table here.
    for (const Slot& slot : slots_)
      if (slot.key == key) return *static_cast<T*>(slot.value.get());
    auto made = std::make_shared<T>();
    T& value = *made;
    slots_.push_back({key, std::move(made)});
    return value;
  }

 private:
  struct Slot {
    std::type_index key;
    std::shared_ptr<void> value;  // keeps the deleter of the real type
  };
  std::vector<Slot> slots_;
};

}  // namespace krx
