// Database engine set-up: the alerts for engines that fail, and the date
// format of the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kept/dbesys.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/strings.h"
#include "support/test_runtime.h"
#include "support/test_storage.h"

namespace potclock {
namespace {

using Texts = std::vector<std::string>;

Texts alertTexts(const TestRuntime& t) {
  Texts texts;
  for (const auto& a : t.hl.alerts) {
    EXPECT_EQ(a.options, Texts{"OK"});
    texts.push_back(a.text);
  }
  return texts;
}

TEST(DbeSys, AlertsOnlyForEnginesThatFail) {
  {
    TestRuntime t;
    DBESYS();
    EXPECT_TRUE(t.hl.alerts.empty());
    EXPECT_EQ(krx::SET(krx::SET_41).numOr(0), 2);
  }
  {
    TestRuntime t;
    useTestStorage().unloadable = {"SDFDBE"};
    t.hl.alertAnswers({1});
    DBESYS();
    EXPECT_EQ(alertTexts(t), Texts{"SDFDBE database engine not loaded"});
  }
  {
    // The composite is still attempted, and fails after its component.
    TestRuntime t;
    useTestStorage().unloadable = {"NTXDBE"};
    t.hl.alertAnswers({1, 1});
    DBESYS();
    EXPECT_EQ(alertTexts(t), (Texts{"NTXDBE database engine not loaded",
                                    "DBFNTX database engine could not be created"}));
  }
}

TEST(DbeSys, DateFormatFollowsTheCenturySetting) {
  const krx::Date newYearsEve = krx::makeDate(2007, 12, 31);
  {
    TestRuntime t;
    krx::SET(krx::SET_CENTURY, true);
    DBESYS();
    EXPECT_EQ(krx::SET(krx::SET_DATEFORMAT).strOr(""), "mm/dd/yyyy");
    EXPECT_EQ(krx::DTOC(newYearsEve), "12/31/2007");
  }
  {
    TestRuntime t;
    krx::SET(krx::SET_DATEFORMAT, "dd.mm.yy");
    DBESYS();
    EXPECT_EQ(krx::SET(krx::SET_DATEFORMAT).strOr(""), "mm/dd/yy");
    EXPECT_EQ(krx::DTOC(newYearsEve), "12/31/07");
  }
}

}  // namespace
}  // namespace potclock
