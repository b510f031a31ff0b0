#include "kept/dbesys.h"

#include <array>
#include <string>

#include "runtime/console/console.h"
#include "runtime/console/kept/database.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"

namespace potclock {

namespace {

struct Engine {
  const char* name;
  bool flag;  // true for the two that make up the composite
};
constexpr std::array<Engine, 4> kEngines{{
    {"DBFDBE", true},
    {"NTXDBE", true},
    {"DELDBE", false},
    {"SDFDBE", false},
}};

struct Composite {
  const char* name;
  int first, second;  // rows of kEngines, from 1
};
constexpr std::array<Composite, 1> kComposites{{{"DBFNTX", 1, 2}}};

}  // namespace

void DBESYS() {
  KRX_ROUTINE("DBESYS");
  krx::SET(krx::SET_41, 2);
  krx::SET(krx::SET_DATEFORMAT,
           krx::SET(krx::SET_CENTURY).logOr(false) ? "mm/dd/yyyy" : "mm/dd/yy");
  for (const Engine& e : kEngines)
    if (!krx::DBELOAD(e.name, e.flag))
      krx::ALERT(std::string(e.name) + " database engine not loaded", {"OK"});
  for (const Composite& c : kComposites)
    if (!krx::DBEBUILD(c.name, kEngines[c.first - 1].name, kEngines[c.second - 1].name))
      krx::ALERT(std::string(c.name) + " database engine could not be created", {"OK"});
}

}  // namespace potclock
