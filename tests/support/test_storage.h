// A store under the work areas that a test steers: the engines it refuses,
// the session it reports, and the steps that fail on a table.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/console/kept/database.h"
#include "runtime/console/kept/workarea.h"

struct TestStorage : krx::Storage {
  std::set<std::string> unloadable;  // upper-case engine names
  krx::Item currentSession;
  std::set<std::pair<const krx::Table*, Step>> failing;  // until the test says otherwise

  void fail(const krx::Table& table, Step step) { failing.insert({&table, step}); }

  bool loadEngine(std::string_view name) override {
    return !unloadable.count(std::string(name)) && Storage::loadEngine(name);
  }
  krx::Item session() override { return currentSession; }
  bool carryOut(Step step, const krx::Table& table) override {
    return !failing.count({&table, step});
  }
};

// Puts a TestStorage under the current runtime's work areas.
inline TestStorage& useTestStorage() {
  auto store = std::make_unique<TestStorage>();
  TestStorage& steered = *store;
  krx::useStorage(std::move(store));
  return steered;
}
