// What the file layer answers (the state directory, the game's file and its
// writer, the lock, a structure file, a saved game taken up): the value
// asked for, or why there is none. One shape, read one way (ok, value,
// failure), so that no caller has to know which of several ways an
// operation tells a failure.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace potclock {

struct Failure {
  enum Kind {
    refused,  // the system said no: `reason`
    missing,  // no such file or directory
    tooLong,  // longer than any the program writes
    damaged,  // not what the program writes
    newer,    // written by a later version of the program
    held,     // locked by another process: `holder`
  };
  Kind kind = refused;
  std::string reason;  // refused: the system's reason, or a sentence naming the file
  long holder = 0;     // held: its process, 0 when out of this one's sight
};

// The value, or why there is none.
template <class T, class F = Failure>
class Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(F failure) : v_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return v_.index() == 0; }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  const F& failure() const { return std::get<1>(v_); }

  bool operator==(const Result&) const = default;

 private:
  std::variant<T, F> v_;
};

// An operation with nothing to give back but its failure.
template <class F>
class Result<void, F> {
 public:
  Result() = default;
  Result(F failure) : failure_(std::move(failure)) {}
  bool ok() const { return !failure_.has_value(); }
  const F& failure() const { return *failure_; }

 private:
  std::optional<F> failure_;
};

}  // namespace potclock
