// A headless runtime with a fresh read state for each form test, and small
// helpers that build edit fields the way the setup dialogue does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/accessors.h"
#include "forms/readstatus.h"
#include "runtime/console/get.h"
#include "runtime/lang/compiler.h"
#include "support/test_runtime.h"

class FormsTest : public ::testing::Test {
 protected:
  // A field bound to `var`, with an optional VALID and WHEN callable.
  static krx::GetRef field(int row, int col, const krx::VarRef& var, std::string name,
                           std::string picture, krx::Item valid = {}, krx::Item when = {}) {
    auto get =
        krx::Get::New(row, col, potclock::ANCHORCB(var), krx::Item(name), picture, {}, valid, when);
    get->display();
    return get;
  }

  static krx::ArrayRef listOf(std::initializer_list<krx::GetRef> gets) {
    auto list = krx::makeArray();
    for (const auto& g : gets) list->push_back(krx::Item(g));
    return list;
  }

  // A callable made from C++ code, for WHEN, VALID and key bindings.
  template <class Fn>
  static krx::Item callable(Fn fn) {
    return krx::Item(
        krx::makeBlock("{|| native }", [fn](std::span<const krx::Item> args) { return fn(args); }));
  }

  // The text at row 0 from the scoreboard column on.
  std::string scoreboardText(int width) const { return t.rowText(0).substr(50, width); }

  TestRuntime t;
};
