// Exit processing: every open work area is committed or rolled back, and
// closed, without a word to the user.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "errors/errorsys.h"
#include "frame/entry.h"
#include "runtime/console/context.h"
#include "runtime/console/kept/workarea.h"
#include "support/test_runtime.h"
#include "support/test_storage.h"

namespace potclock {
namespace {

// A table of one record whose field has been changed but not committed.
std::shared_ptr<krx::Table> openChanged(const char* alias) {
  int area = krx::dbOpenMemory(alias, {"CHIPS"}, {{krx::Item(100)}});
  krx::FIELDPUT(1, krx::Item(250));
  return krx::workAreas().open.at(area);
}

TEST(AppExit, CommitsOrRollsBackAndClosesEveryArea) {
  TestRuntime t;
  ERRORSYS();
  const krx::Item handler = krx::ERRORBLOCK();
  auto first = openChanged("FIRST");
  auto second = openChanged("SECOND");
  auto third = openChanged("THIRD");
  useTestStorage().fail(*second, krx::Storage::Step::Commit);
  krx::DBSELECTAREA(krx::Item(2));

  APPEXIT();

  EXPECT_TRUE(krx::WORKSPACELIST()->empty());
  EXPECT_EQ(first->records[0][0].numOr(0), 250);
  EXPECT_EQ(third->records[0][0].numOr(0), 250);
  EXPECT_EQ(second->records[0][0].numOr(0), 100);  // rolled back
  EXPECT_TRUE(second->pending.empty());
  EXPECT_TRUE(t.hl.alerts.empty());
  EXPECT_EQ(krx::SELECT(), 2);  // the current area is not changed
  EXPECT_TRUE(krx::ERRORBLOCK().block() == handler.block());
}

TEST(AppExit, AFailedRollbackLeavesTheRestAndStillRestoresTheHandler) {
  TestRuntime t;
  ERRORSYS();
  const krx::Item handler = krx::ERRORBLOCK();
  auto first = openChanged("FIRST");
  auto second = openChanged("SECOND");
  TestStorage& store = useTestStorage();
  store.fail(*first, krx::Storage::Step::Commit);
  store.fail(*first, krx::Storage::Step::Rollback);
  // The break leaves exit processing; the areas after it are not visited.
  EXPECT_THROW(APPEXIT(), krx::BreakSignal);
  EXPECT_EQ(krx::WORKSPACELIST()->size(), 2u);
  EXPECT_TRUE(t.hl.alerts.empty());
  EXPECT_TRUE(krx::ERRORBLOCK().block() == handler.block());
}

}  // namespace
}  // namespace potclock
