#include "forms/entries.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "forms/accessors.h"
#include "forms/applykey.h"
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms/readstatus.h"
#include "forms/scoreboard.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using krx::arg;
using krx::Item;

namespace {

template <class T>
Item itemOrNil(const std::shared_ptr<T>& ref) {
  return ref ? Item(ref) : Item();
}

std::string strArg(EntryArgs args, std::size_t i, const char* routine) {
  Item value = arg(args, i);
  if (value.isStr()) return value.str();
  auto error = krx::makeError(krx::EG_ARG, "argument error", routine,
                              std::vector<Item>(args.begin(), args.end()));
  error->canSubstitute = true;
  return krx::raiseForResult(error, "").strOr("");
}

}  // namespace

krx::GetRef getArg(EntryArgs args, std::size_t i, const char* routine) {
  Item value = arg(args, i);
  if (auto get = value.as<krx::Get>()) return get;
  auto error = krx::makeError(krx::EG_ARG, "argument error", routine,
                              std::vector<Item>(args.begin(), args.end()));
  error->canSubstitute = true;
  return krx::raiseForResult(error).as<krx::Get>();
}

int intArg(EntryArgs args, std::size_t i) {
  const double n = arg(args, i).numOr(0);
  return std::isfinite(n) ? static_cast<int>(std::clamp(n, -2e9, 2e9)) : 0;
}

Item FIELDBLOCK_entry(EntryArgs args) {
  return itemOrNil(FIELDBLOCK(strArg(args, 0, "FIELDBLOCK")));
}

Item FIELDWBLOCK_entry(EntryArgs args) {
  return itemOrNil(FIELDWBLOCK(strArg(args, 0, "FIELDWBLOCK"), arg(args, 1)));
}

Item MEMVARBLOCK_entry(EntryArgs args) {
  return itemOrNil(MEMVARBLOCK(strArg(args, 0, "MEMVARBLOCK")));
}

Item ANCHORCB_entry(EntryArgs args) {
  return itemOrNil(args.empty() ? ANCHORCB() : ANCHORCB(args[0]));
}

Item SCATTER_entry(EntryArgs args) {
  return SCATTER(arg(args, 0));
}

Item GATHER_entry(EntryArgs args) {
  return GATHER(arg(args, 0));
}

Item READMODAL_entry(EntryArgs args) {
  Item list = arg(args, 0);
  if (list.isArray()) return READMODAL(list.array(), arg(args, 1), krx::CallSite::unknown());
  if (krx::EMPTY(list)) return READMODAL(nullptr, arg(args, 1), krx::CallSite::unknown());
  auto error = krx::makeError(krx::EG_ARG, "argument error", "READMODAL",
                              std::vector<Item>(args.begin(), args.end()));
  return krx::raiseForResult(error, false);
}

Item GETREADER_entry(EntryArgs args) {
  if (auto get = getArg(args, 0, "GETREADER")) GETREADER(*get);
  return {};
}

Item GETAPPLYKEY_entry(EntryArgs args) {
  if (auto get = getArg(args, 0, "GETAPPLYKEY"))
    GETAPPLYKEY(*get, static_cast<int>(arg(args, 1).num()));
  return {};
}

Item GETPREVALIDATE_entry(EntryArgs args) {
  auto get = getArg(args, 0, "GETPREVALIDATE");
  return get ? Item(GETPREVALIDATE(*get)) : Item();
}

Item GETPOSTVALIDATE_entry(EntryArgs args) {
  auto get = getArg(args, 0, "GETPOSTVALIDATE");
  return get ? Item(GETPOSTVALIDATE(*get)) : Item();
}

Item GETDOSETKEY_entry(EntryArgs args) {
  auto get = getArg(args, 1, "GETDOSETKEY");
  if (!get) return {};
  const Item callable = arg(args, 0);
  return GETDOSETKEY(callable.isBlock() ? callable.block() : nullptr, *get);
}

Item GETACTIVE_entry(EntryArgs args) {
  if (args.empty()) return itemOrNil(GETACTIVE());
  if (args[0].isNil()) return itemOrNil(GETACTIVE(nullptr));
  if (auto get = args[0].as<krx::Get>()) return itemOrNil(GETACTIVE(get));
  return itemOrNil(GETACTIVE());
}

Item UPDATED_entry(EntryArgs) {
  return UPDATED();
}
Item READEXIT_entry(EntryArgs args) {
  return READEXIT(arg(args, 0));
}
Item READINSERT_entry(EntryArgs args) {
  return READINSERT(arg(args, 0));
}
Item READKILL_entry(EntryArgs args) {
  return READKILL(arg(args, 0));
}
Item READUPDATED_entry(EntryArgs args) {
  return READUPDATED(arg(args, 0));
}
Item READVAR_entry(EntryArgs args) {
  return READVAR(arg(args, 0));
}

Item DISPSCOREBOARD_entry(EntryArgs) {
  DISPSCOREBOARD();
  return {};
}

Item RANGECHECK_entry(EntryArgs args) {
  auto get = getArg(args, 0, "RANGECHECK");
  return get ? Item(RANGECHECK(*get, arg(args, 1), arg(args, 2))) : Item();
}

Item GETLASTACTIVE_entry(EntryArgs) {
  return itemOrNil(GETLASTACTIVE());
}
Item GETKILLACTIVE_entry(EntryArgs) {
  return GETKILLACTIVE();
}
Item GETLIST_entry(EntryArgs) {
  return itemOrNil(GETLIST());
}
Item GETLISTPOS_entry(EntryArgs) {
  return GETLISTPOS();
}
Item GETENABLEEVENTS_entry(EntryArgs args) {
  return GETENABLEEVENTS(arg(args, 0));
}
Item READSTATUS_entry(EntryArgs) {
  return Item(READSTATUS());
}

}  // namespace potclock
