// The database layer under the work areas: the engines a program loads, the
// database session, and the store a table's changes are written to.
#pragma once

#include <memory>
#include <string_view>

#include "runtime/lang/item.h"

namespace krx {

struct Table;

// What the work areas stand on. The runtime's own store is memory: every
// known engine loads, there is no session layer and no write fails. Another
// store (one on disk, or one that fails on purpose) takes its place through
// useStorage.
class Storage {
 public:
  virtual ~Storage() = default;

  // Whether the engine of that upper-case name can be loaded.
  virtual bool loadEngine(std::string_view name);
  // The current database session object; nil without a session layer.
  virtual Item session() { return {}; }

  // The steps at which a table's changes meet the store. False when the step
  // did not go through (a table on a lost disk); the work areas then raise
  // an error the handler may answer with retry, which asks again.
  enum class Step { Commit, Rollback, Close };
  virtual bool carryOut(Step step, const Table& table) {
    (void)step, (void)table;
    return true;
  }
};

Storage& storage();
// Puts `store` under the current runtime's work areas.
void useStorage(std::unique_ptr<Storage> store);

// A known engine loads as its store allows; a composite builds from two
// engines that have been loaded.
bool DBELOAD(std::string_view name, bool flag);
bool DBEBUILD(std::string_view name, std::string_view first, std::string_view second);
// The store's current database session object, or nil.
Item DBSESSION();

}  // namespace krx
