// What the language asks of the work areas (runtime/lang/langcontext.h): the
// fields of the current one, another area made current for a while, and
// their routines reachable by name. The work areas are one of the services
// kept apart in runtime/console/kept; they offer these to a runtime when it
// is made (offerWorkAreas), so that the context needs to know nothing of them.
#pragma once

#include <functional>
#include <string_view>

#include "runtime/lang/item.h"
#include "runtime/lang/registry.h"

namespace krx {

class FieldAccess {
 public:
  virtual ~FieldAccess() = default;

  // A routine of the work areas (upper-case name), or null.
  virtual const PublicRoutine* routine(std::string_view upperName) const = 0;
  virtual bool hasField(std::string_view name) const = 0;
  virtual Item fieldGet(std::string_view name) = 0;
  virtual Item fieldPut(std::string_view name, const Item& value) = 0;
  virtual Item inArea(const Item& area, const std::function<Item()>& fn) = 0;
};

}  // namespace krx
