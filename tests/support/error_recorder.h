// Installs, for its life, an error handler that records each error and
// answers as the test says (by default .F., the operation's default action).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/lang/error.h"

struct ErrorRecorder {
  std::vector<krx::ErrorRef> errors;
  std::function<krx::Item(const krx::ErrorRef&)> answer = [](const krx::ErrorRef&) {
    return krx::Item(false);
  };
  krx::ScopedErrorBlock guard{
      krx::makeBlock("{|e| record(e)}", [this](std::span<const krx::Item> args) {
        errors.push_back(args[0].as<krx::Error>());
        return answer(errors.back());
      })};

  int lastCode() const {
    return errors.empty() ? 0 : static_cast<int>(errors.back()->genCode.numOr(0));
  }
  std::string lastText() const {
    return errors.empty() ? "" : errors.back()->description.strOr("");
  }
};
