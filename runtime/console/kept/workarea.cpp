#include "runtime/console/kept/workarea.h"

#include <cmath>
#include <optional>

#include "runtime/console/context.h"
#include "runtime/console/kept/database.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace krx {

namespace {

constexpr int kMaxArea = 65535;

Table* currentTable() {
  const WorkAreas& areas = workAreas();
  return areas.table(areas.current);
}

ErrorRef workAreaError(int genCode, std::string description, std::string operation,
                       std::vector<Item> args = {}) {
  auto e = makeError(genCode, std::move(description), std::move(operation), std::move(args));
  e->subSystem = genCode == EG_NOTABLE || genCode == EG_DBCMD ? "DBCMD" : "BASE";
  e->canDefault = true;
  return e;
}

// The store carries out a step on the table; a failure goes to the handler,
// which may answer with retry. False unless the step went through.
bool carriedOut(Storage::Step step, const Table& table, const char* operation) {
  while (!storage().carryOut(step, table)) {
    auto e = workAreaError(EG_DBCMD, std::string(operation) + " failed", operation);
    e->filename = table.alias;
    e->canRetry = true;
    if (raise(e).kind != Recovery::Retry) return false;
  }
  return true;
}

Item noTable(const char* operation, std::vector<Item> args) {
  auto e = workAreaError(EG_NOTABLE, "Work area not in use", operation, std::move(args));
  e->canSubstitute = true;
  return raiseForResult(e);
}

int firstFreeArea() {
  int n = 1;
  while (workAreas().open.count(n)) ++n;
  return n;
}

// The area an Item names: a number, or an alias in any case. A bad one goes
// to the handler; nullopt when it takes the default.
std::optional<int> resolveArea(const Item& area) {
  if (area.isNum()) {
    double n = std::trunc(area.num());
    if (n == 0) return firstFreeArea();
    if (n >= 1 && n <= kMaxArea) return static_cast<int>(n);
  } else if (area.isStr()) {
    if (int n = SELECT(area.str())) return n;
    raise(workAreaError(EG_NOALIAS, "Alias does not exist: " + ALLTRIM(area.str()), "DBSELECTAREA",
                        {area}));
    return std::nullopt;
  }
  raise(workAreaError(EG_ARG, "Argument error", "DBSELECTAREA", {area}));
  return std::nullopt;
}

// "ALIAS->NAME" split into its upper-case parts; no alias without "->".
struct QualifiedName {
  std::string alias;
  std::string name;
};

QualifiedName splitName(std::string_view text) {
  std::size_t arrow = text.find("->");
  if (arrow == std::string_view::npos) return {"", UPPER(ALLTRIM(text))};
  return {UPPER(ALLTRIM(text.substr(0, arrow))), UPPER(ALLTRIM(text.substr(arrow + 2)))};
}

bool fieldQualifier(const std::string& alias) {
  return alias == "FIELD" || alias == "_FIELD";
}

// The values of the current record as they now read, pending changes first;
// null at the end of the table.
const std::vector<Item>* recordValues(const Table& t) {
  if (t.recno < 1 || t.recno > static_cast<int>(t.records.size())) return nullptr;
  auto index = static_cast<std::size_t>(t.recno - 1);
  auto it = t.pending.find(index);
  return it != t.pending.end() ? &it->second : &t.records[index];
}

// Checks a field number against the current table; raises when it is
// outside the record (the handler may substitute a result).
bool fieldInRange(const Table& t, int index, const char* operation, Item& result) {
  if (index >= 1 && index <= static_cast<int>(t.fields.size())) return true;
  auto e = workAreaError(EG_BOUND, "Bound error: field number out of range", operation, {index});
  e->filename = t.alias;
  e->canSubstitute = true;
  result = raiseForResult(e);
  return false;
}

}  // namespace

int dbOpenMemory(std::string_view alias, const std::vector<std::string>& fields,
                 const std::vector<std::vector<Item>>& records, int area) {
  if (area < 0 || area > kMaxArea) {
    raise(workAreaError(EG_ARG, "Argument error", "dbOpenMemory", {area}));
    return 0;
  }
  if (area == 0) area = firstFreeArea();
  std::string name = UPPER(ALLTRIM(alias));
  if (name.empty()) name = "AREA" + std::to_string(area);
  if (int other = SELECT(name); other != 0 && other != area) {
    auto e = workAreaError(EG_DBCMD, "Alias already in use: " + name, "dbOpenMemory", {name});
    raise(e);
    return 0;
  }
  // Opening into a used area closes what is there first, as a new table
  // would replace the old one.
  if (workAreas().table(area)) {
    inArea(area, [] {
      DBCLOSEAREA();
      return Item();
    });
    if (workAreas().table(area)) return 0;
  }
  auto table = std::make_shared<Table>();
  table->alias = name;
  for (const auto& f : fields) table->fields.push_back(UPPER(ALLTRIM(f)));
  for (const auto& r : records) {
    table->records.push_back(r);
    table->records.back().resize(table->fields.size());
  }
  workAreas().open[area] = std::move(table);
  workAreas().current = area;
  return area;
}

int SELECT() {
  return workAreas().current;
}

int SELECT(std::string_view alias) {
  std::string name = UPPER(ALLTRIM(alias));
  for (const auto& [n, table] : workAreas().open)
    if (table->alias == name) return n;
  return 0;
}

void DBSELECTAREA(const Item& area) {
  if (std::optional<int> n = resolveArea(area)) workAreas().current = *n;
}

int FIELDPOS(std::string_view name) {
  const Table* t = currentTable();
  if (!t) return 0;
  QualifiedName q = splitName(name);
  if (!q.alias.empty() && !fieldQualifier(q.alias) && q.alias != t->alias) return 0;
  for (std::size_t i = 0; i < t->fields.size(); ++i)
    if (t->fields[i] == q.name) return static_cast<int>(i) + 1;
  return 0;
}

Item FIELDGET(int index) {
  const Table* t = currentTable();
  if (!t) return noTable("FIELDGET", {index});
  Item result;
  if (!fieldInRange(*t, index, "FIELDGET", result)) return result;
  const std::vector<Item>* values = recordValues(*t);
  return values ? (*values)[static_cast<std::size_t>(index) - 1] : Item();
}

Item FIELDPUT(int index, const Item& value) {
  Table* t = currentTable();
  if (!t) return noTable("FIELDPUT", {index, value});
  Item result;
  if (!fieldInRange(*t, index, "FIELDPUT", result)) return result;
  const std::vector<Item>* values = recordValues(*t);
  if (!values) {
    auto e = workAreaError(EG_DBCMD, "No current record", "FIELDPUT", {index, value});
    e->filename = t->alias;
    raise(e);
    return Item();
  }
  // The first change to a record starts its pending copy.
  auto record = static_cast<std::size_t>(t->recno - 1);
  std::vector<Item>& pending = t->pending.try_emplace(record, *values).first->second;
  pending[static_cast<std::size_t>(index) - 1] = value;
  return value;
}

int FCOUNT() {
  const Table* t = currentTable();
  return t ? static_cast<int>(t->fields.size()) : 0;
}

Item fieldGet(std::string_view name) {
  QualifiedName q = splitName(name);
  if (!q.alias.empty() && !fieldQualifier(q.alias)) {
    return inArea(q.alias, [&] { return fieldGet(q.name); });
  }
  if (int pos = FIELDPOS(q.name)) return FIELDGET(pos);
  auto e = workAreaError(EG_NOVAR, "Variable does not exist: " + q.name, q.name, {q.name});
  e->canSubstitute = true;
  return raiseForResult(e);
}

Item fieldPut(std::string_view name, const Item& value) {
  QualifiedName q = splitName(name);
  if (!q.alias.empty() && !fieldQualifier(q.alias)) {
    return inArea(q.alias, [&] { return fieldPut(q.name, value); });
  }
  if (int pos = FIELDPOS(q.name)) return FIELDPUT(pos, value);
  auto e = workAreaError(EG_NOVAR, "Variable does not exist: " + q.name, q.name, {q.name, value});
  e->canSubstitute = true;
  return raiseForResult(e);
}

Item inArea(const Item& area, const std::function<Item()>& fn) {
  ScopedArea keep;
  std::optional<int> n = resolveArea(area);
  // Running the expression in the wrong area would be worse than not at all.
  if (!n) return Item();
  workAreas().current = *n;
  return fn();
}

ArrayRef WORKSPACELIST() {
  ArrayRef list = makeArray(workAreas().open.size());
  std::size_t i = 0;
  for (const auto& entry : workAreas().open) (*list)[i++] = static_cast<double>(entry.first);
  return list;
}

void DBCOMMIT() {
  Table* t = currentTable();
  if (!t || !carriedOut(Storage::Step::Commit, *t, "DBCOMMIT")) return;
  for (auto& [record, values] : t->pending) t->records[record] = std::move(values);
  t->pending.clear();
}

void DBRROLLBACK() {
  Table* t = currentTable();
  if (!t || !carriedOut(Storage::Step::Rollback, *t, "DBRROLLBACK")) return;
  t->pending.clear();
}

void DBCLOSEAREA() {
  int area = workAreas().current;
  Table* t = workAreas().table(area);
  if (!t || !carriedOut(Storage::Step::Close, *t, "DBCLOSEAREA")) return;
  // Closing keeps what was changed; when that write fails the area stays
  // open, so that nothing is lost and a rollback is still possible.
  if (!t->pending.empty()) {
    DBCOMMIT();
    t = workAreas().table(area);
    if (!t || !t->pending.empty()) return;
  }
  workAreas().open.erase(area);
}

std::string ALIAS(int area) {
  const Table* t = workAreas().table(area == 0 ? workAreas().current : area);
  return t ? t->alias : "";
}

int RECNO() {
  const Table* t = currentTable();
  return t ? t->recno : 0;
}

int RECCOUNT() {
  const Table* t = currentTable();
  return t ? static_cast<int>(t->records.size()) : 0;
}

void DBGOTO(int recno) {
  Table* t = currentTable();
  if (!t) {
    noTable("DBGOTO", {recno});
    return;
  }
  int count = static_cast<int>(t->records.size());
  t->recno = recno >= 1 && recno <= count ? recno : count + 1;
}

WorkAreas& workAreas() {
  return RT().keptState.get<WorkAreas>();
}

ScopedArea::~ScopedArea() {
  if (hasRuntime()) workAreas().current = saved_;
}

}  // namespace krx
