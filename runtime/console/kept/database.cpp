#include "runtime/console/kept/database.h"

#include <array>
#include <set>
#include <string>

#include "runtime/console/context.h"
#include "runtime/lang/registry.h"

namespace krx {

namespace {

// The layer's state, one per runtime.
struct DatabaseState {
  std::unique_ptr<Storage> storage = std::make_unique<Storage>();
  std::set<std::string> loadedEngines;  // upper case, single and composite
};

DatabaseState& database() {
  return RT().keptState.get<DatabaseState>();
}

}  // namespace

bool Storage::loadEngine(std::string_view name) {
  // In-memory tables need no loading: the engines are known by name only.
  static constexpr std::array<std::string_view, 4> kEngines{"DBFDBE", "NTXDBE", "DELDBE", "SDFDBE"};
  for (std::string_view known : kEngines)
    if (known == name) return true;
  return false;
}

Storage& storage() {
  return *database().storage;
}

void useStorage(std::unique_ptr<Storage> store) {
  database().storage = std::move(store);
}

bool DBELOAD(std::string_view name, bool flag) {
  (void)flag;
  DatabaseState& db = database();
  std::string n = upperAscii(name);
  if (!db.storage->loadEngine(n)) return false;
  db.loadedEngines.insert(n);
  return true;
}

bool DBEBUILD(std::string_view name, std::string_view first, std::string_view second) {
  DatabaseState& db = database();
  std::string n = upperAscii(name);
  if (n.empty() || !db.loadedEngines.count(upperAscii(first)) ||
      !db.loadedEngines.count(upperAscii(second)))
    return false;
  db.loadedEngines.insert(n);
  return true;
}

Item DBSESSION() {
  return storage().session();
}

}  // namespace krx
