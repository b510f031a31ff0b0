#include "frame/publics.h"

#include "app/main.h"
#include "app/screens/clock.h"
#include "bigtext/bigletters.h"
#include "errors/errormessage.h"
#include "errors/errorsys.h"
#include "forms/entries.h"
#include "frame/entry.h"
#include "kept/dbesys.h"
#include "kept/evententries.h"

namespace potclock {

namespace {

using Args = std::span<const krx::Item>;
using krx::arg;

// A routine without parameters or result, reached by name.
template <void (*F)()>
krx::Item plain(Args) {
  F();
  return {};
}

krx::Item MYSECONDS_entry(Args a) {
  return MYSECONDS(arg(a, 0).logOr(false));
}

krx::Item SAYBIG_entry(Args a) {
  SAYBIG(static_cast<int>(arg(a, 0).num()), arg(a, 1).str());
  return {};
}

krx::Item BIGLETTERS_entry(Args a) {
  return BIGLETTERS(arg(a, 0).str(), static_cast<int>(arg(a, 1).num()));
}

}  // namespace

// The rows in their fixed order.
void registerPublicRoutines(krx::Registry& r) {
  // Room for every row below at once: grown a row at a time, the table leaves
  // its smaller copies behind in the heap, private memory for the program's
  // life. A row added below and not counted here costs memory, nothing else.
  r.reserve(40);
  r.add("MAIN", 0, plain<MAIN>);
  r.add("MYSECONDS", 1, MYSECONDS_entry);
  r.add("SAYBIG", 2, SAYBIG_entry);
  r.add("BIGLETTERS", 2, BIGLETTERS_entry);
  r.add("FIELDBLOCK", 1, FIELDBLOCK_entry);
  r.add("FIELDWBLOCK", 2, FIELDWBLOCK_entry);
  r.add("MEMVARBLOCK", 1, MEMVARBLOCK_entry);
  r.add("ANCHORCB", 1, ANCHORCB_entry);
  r.add("SCATTER", 1, SCATTER_entry);
  r.add("GATHER", 1, GATHER_entry);
  r.add("READMODAL", 2, READMODAL_entry);
  r.add("GETREADER", 1, GETREADER_entry);
  r.add("GETAPPLYKEY", 2, GETAPPLYKEY_entry);
  r.add("GETPREVALIDATE", 1, GETPREVALIDATE_entry);
  r.add("GETPOSTVALIDATE", 1, GETPOSTVALIDATE_entry);
  r.add("GETDOSETKEY", 2, GETDOSETKEY_entry);
  r.add("GETACTIVE", 1, GETACTIVE_entry);
  r.add("UPDATED", 0, UPDATED_entry);
  r.add("READEXIT", 1, READEXIT_entry);
  r.add("READINSERT", 1, READINSERT_entry);
  r.add("READKILL", 1, READKILL_entry);
  r.add("READUPDATED", 1, READUPDATED_entry);
  r.add("READVAR", 1, READVAR_entry);
  r.add("DISPSCOREBOARD", 0, DISPSCOREBOARD_entry);
  r.add("RANGECHECK", 3, RANGECHECK_entry);
  r.add("GETEVENTREADER", 1, GETEVENTREADER_entry);
  r.add("GETHANDLEEVENT", 5, GETHANDLEEVENT_entry);
  r.add("GETDOSETEVENT", 5, GETDOSETEVENT_entry);
  r.add("GETLASTACTIVE", 0, GETLASTACTIVE_entry);
  r.add("GETKILLACTIVE", 0, GETKILLACTIVE_entry);
  r.add("GETLIST", 0, GETLIST_entry);
  r.add("GETLISTPOS", 0, GETLISTPOS_entry);
  r.add("GETENABLEEVENTS", 1, GETENABLEEVENTS_entry);
  r.add("GETTOMOUSEPOS", 2, GETTOMOUSEPOS_entry);
  r.add("READSTATUS", 0, READSTATUS_entry, true);
  r.add("APPSYS", 0, plain<APPSYS>);
  r.add("APPEXIT", 0, plain<APPEXIT>);
  r.add("DBESYS", 0, plain<DBESYS>);
  r.add("ERRORSYS", 0, plain<ERRORSYS>);
  r.add("LINESPLIT", 2, LINESPLIT_entry);
}

}  // namespace potclock
