#include "runtime/console/database.h"

#include <array>

#include "runtime/console/context.h"
#include "runtime/lang/registry.h"

namespace krx {

bool Storage::loadEngine(std::string_view name) {
  // In-memory tables need no loading: the engines are known by name only.
  static constexpr std::array<std::string_view, 4> kEngines{"DBFDBE", "NTXDBE", "DELDBE", "SDFDBE"};
  for (std::string_view known : kEngines)
    if (known == name) return true;
  return false;
}

Storage& storage() {
  return *RT().database.storage;
}

void useStorage(std::unique_ptr<Storage> store) {
  RT().database.storage = std::move(store);
}

bool DBELOAD(std::string_view name, bool flag) {
  (void)flag;
  DatabaseState& db = RT().database;
  std::string n = upperAscii(name);
  if (!db.storage->loadEngine(n)) return false;
  db.loadedEngines.insert(n);
  return true;
}

bool DBEBUILD(std::string_view name, std::string_view first, std::string_view second) {
  DatabaseState& db = RT().database;
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
