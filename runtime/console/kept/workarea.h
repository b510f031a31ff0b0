// Work areas: in-memory tables with named fields and records, opened into
// numbered work areas under an alias. Changes to a record stay pending until
// DBCOMMIT makes them permanent or DBRROLLBACK drops them.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/lang/item.h"

namespace krx {

// One open in-memory table. A changed record keeps its new values in
// `pending` until a commit moves them into `records` or a rollback drops them.
struct Table {
  std::string alias;                                 // upper case
  std::vector<std::string> fields;                   // upper case, in field order
  std::vector<std::vector<Item>> records;            // committed values, one per field
  std::map<std::size_t, std::vector<Item>> pending;  // by record index from 0
  int recno = 1;  // the current record; RECCOUNT() + 1 is the end of the table
};

class WorkAreas {
 public:
  int current = 1;
  std::map<int, std::shared_ptr<Table>> open;  // by area number

  // The table open in `area`, or null when the area is unused.
  Table* table(int area) const {
    auto it = open.find(area);
    return it == open.end() ? nullptr : it->second.get();
  }
};

// The current runtime's work areas.
WorkAreas& workAreas();

// Opens a new in-memory table with the given field names and records into the
// first free work area (or `area` when given), under `alias`; makes it current
// and returns the area number.
int dbOpenMemory(std::string_view alias, const std::vector<std::string>& fields,
                 const std::vector<std::vector<Item>>& records = {}, int area = 0);

int SELECT();                         // the current work area number
int SELECT(std::string_view alias);   // the area of an alias, 0 when none
void DBSELECTAREA(const Item& area);  // by number or alias; unknown alias raises EG_NOALIAS
int FIELDPOS(std::string_view name);  // in the current area, from 1; 0 when none
Item FIELDGET(int index);             // bad index raises EG_BOUND
Item FIELDPUT(int index, const Item& value);
int FCOUNT();
// FIELD->name and alias->name as compiled text uses them; unknown field raises EG_NOVAR.
Item fieldGet(std::string_view name);
Item fieldPut(std::string_view name, const Item& value);
// The aliased call: runs `fn` with `area` (number or alias) current and makes
// the previous area current again on every path out.
Item inArea(const Item& area, const std::function<Item()>& fn);
ArrayRef WORKSPACELIST();  // area numbers in use
void DBCOMMIT();
void DBRROLLBACK();
void DBCLOSEAREA();
std::string ALIAS(int area = 0);  // of the current area when 0; "" when unused
int RECNO();
int RECCOUNT();
void DBGOTO(int recno);  // outside 1..RECCOUNT() goes to the end of the table

// Keeps the current work area across a scope.
class ScopedArea {
 public:
  ScopedArea() : saved_(SELECT()) {}
  ~ScopedArea();
  ScopedArea(const ScopedArea&) = delete;
  ScopedArea& operator=(const ScopedArea&) = delete;

 private:
  int saved_;
};

}  // namespace krx
