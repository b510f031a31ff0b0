#include "kept/evententries.h"

#include "kept/eventreader.h"

namespace potclock {

using krx::arg;
using krx::Item;

Item GETEVENTREADER_entry(EntryArgs args) {
  if (auto get = getArg(args, 0, "GETEVENTREADER")) GETEVENTREADER(*get);
  return {};
}

Item GETHANDLEEVENT_entry(EntryArgs args) {
  if (auto get = getArg(args, 0, "GETHANDLEEVENT"))
    GETHANDLEEVENT(*get, intArg(args, 1), arg(args, 2), arg(args, 3), arg(args, 4));
  return {};
}

Item GETDOSETEVENT_entry(EntryArgs args) {
  auto get = getArg(args, 4, "GETDOSETEVENT");
  if (!get) return {};
  const Item callable = arg(args, 0);
  return GETDOSETEVENT(callable.isBlock() ? callable.block() : nullptr, arg(args, 1), arg(args, 2),
                       arg(args, 3), *get);
}

Item GETTOMOUSEPOS_entry(EntryArgs args) {
  if (auto get = getArg(args, 0, "GETTOMOUSEPOS")) GETTOMOUSEPOS(*get, intArg(args, 1));
  return {};
}

}  // namespace potclock
