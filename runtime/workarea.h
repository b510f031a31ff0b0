// Work areas: in-memory tables with named fields, opened into numbered areas.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/item.h"

namespace krx {

class WorkAreas {
 public:
  // (filled in by the work-area module)
};

}  // namespace krx
