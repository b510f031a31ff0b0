#include "runtime/console/kept/workarea.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/console/context.h"
#include "runtime/lang/error.h"
#include "runtime/lang/object.h"
#include "runtime/lang/strings.h"
#include "support/error_recorder.h"
#include "support/test_runtime.h"
#include "support/test_storage.h"

using namespace krx;

namespace {

// CUST in area 1 (two records), ORDERS in area 2 (one); area 1 current.
struct TwoTables : ::testing::Test {
  TestRuntime t;
  void SetUp() override {
    dbOpenMemory("cust", {"name", "city", "chips"}, {{"Ann", "Oslo", 100}, {"Bob", "Rome", 250}});
    dbOpenMemory("Orders", {"ID", "AMOUNT"}, {{1, 9.5}});
    DBSELECTAREA(1);
  }
};

}  // namespace

TEST_F(TwoTables, SelectByNumberOrAliasInAnyCase) {
  EXPECT_EQ(SELECT("nothing"), 0);
  DBSELECTAREA("orders");
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(ALIAS(), "ORDERS");
  DBSELECTAREA(0);  // the first unused area
  EXPECT_EQ(SELECT(), 3);

  ErrorRecorder rec;
  DBSELECTAREA("nothing");
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_EQ(rec.errors[0]->genCode.num(), EG_NOALIAS);
  EXPECT_EQ(SELECT(), 3);
}

TEST_F(TwoTables, FieldPositionsAndValues) {
  EXPECT_EQ(FCOUNT(), 3);
  EXPECT_EQ(FIELDPOS("city"), 2);
  EXPECT_EQ(FIELDPOS("FIELD->CHIPS"), 3);
  EXPECT_EQ(FIELDPOS("Cust->Name"), 1);
  EXPECT_EQ(FIELDPOS("ORDERS->ID"), 0);
  EXPECT_EQ(FIELDGET(1).str(), "Ann");
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(3).num(), 250);
  EXPECT_EQ(FIELDPUT(2, "Oslo").str(), "Oslo");
  EXPECT_EQ(fieldGet("CITY").str(), "Oslo");
  EXPECT_EQ(fieldGet("orders->amount").num(), 9.5);
  fieldPut("ORDERS->ID", 7);
  EXPECT_EQ(SELECT(), 1);
  DBSELECTAREA(2);
  EXPECT_EQ(FIELDGET(1).num(), 7);
}

TEST_F(TwoTables, FieldNumberOutsideTheRecordRaises) {
  ErrorRecorder rec;
  EXPECT_TRUE(FIELDGET(0).isNil());
  EXPECT_TRUE(FIELDGET(4).isNil());
  FIELDPUT(4, "x");
  ASSERT_EQ(rec.errors.size(), 3u);
  for (const auto& e : rec.errors) EXPECT_EQ(e->genCode.num(), EG_BOUND);

  rec.answer = [](const ErrorRef&) { return Item("substitute"); };
  EXPECT_EQ(FIELDGET(9).str(), "substitute");
  rec.answer = [](const ErrorRef&) { return Item(false); };
  (void)fieldGet("NOSUCH");
  EXPECT_EQ(rec.errors.back()->genCode.num(), EG_NOVAR);

  DBSELECTAREA(5);
  (void)FIELDGET(1);
  EXPECT_EQ(rec.errors.back()->genCode.num(), EG_NOTABLE);

  // At the end of the table a field reads as nil and cannot be written.
  DBSELECTAREA(1);
  DBGOTO(99);
  EXPECT_EQ(RECNO(), 3);
  EXPECT_TRUE(FIELDGET(1).isNil());
  std::size_t before = rec.errors.size();
  FIELDPUT(1, "ghost");
  EXPECT_EQ(rec.errors.size(), before + 1);
  EXPECT_EQ(rec.errors.back()->genCode.num(), EG_DBCMD);
}

TEST_F(TwoTables, CommitKeepsAndRollbackDropsPendingChanges) {
  Table& cust = *workAreas().table(1);
  FIELDPUT(1, "Anna");
  EXPECT_EQ(FIELDGET(1).str(), "Anna");
  DBRROLLBACK();
  EXPECT_EQ(FIELDGET(1).str(), "Ann");

  FIELDPUT(1, "Anna");
  DBCOMMIT();
  DBRROLLBACK();
  EXPECT_EQ(FIELDGET(1).str(), "Anna");
  EXPECT_TRUE(cust.pending.empty());

  // Closing writes what is pending rather than losing it.
  auto kept = workAreas().open.at(1);
  FIELDPUT(3, 1);
  DBCLOSEAREA();
  EXPECT_EQ(kept->records[0][2].num(), 1);
  EXPECT_EQ(workAreas().table(1), nullptr);
  EXPECT_EQ(SELECT(), 1);
}

TEST_F(TwoTables, AliasedCallRestoresTheCurrentArea) {
  EXPECT_EQ(inArea(2, [] { return FIELDGET(2); }).num(), 9.5);
  EXPECT_EQ(inArea("ORDERS", [] { return Item(SELECT()); }).num(), 2);
  EXPECT_EQ(SELECT(), 1);

  bool broke = false;
  sequence([] { inArea(2, []() -> Item { BREAK("out"); }); }, [&](const Item&) { broke = true; });
  EXPECT_TRUE(broke);
  EXPECT_EQ(SELECT(), 1);

  ErrorRecorder rec;
  bool ran = false;
  EXPECT_TRUE(inArea("GONE", [&] {
                ran = true;
                return Item(1);
              }).isNil());
  EXPECT_FALSE(ran);
  EXPECT_EQ(SELECT(), 1);
}

TEST_F(TwoTables, WorkspaceListAndOpeningRules) {
  dbOpenMemory("late", {"X"}, {}, 5);
  EXPECT_EQ(VAR2CHAR(WORKSPACELIST()), "{1, 2, 5}");

  ErrorRecorder rec;
  EXPECT_EQ(dbOpenMemory("CUST", {"X"}), 0);  // alias taken elsewhere
  EXPECT_EQ(rec.errors.back()->genCode.num(), EG_DBCMD);

  EXPECT_EQ(dbOpenMemory("other", {"Y"}, {{3}}, 2), 2);  // replaces ORDERS
  EXPECT_EQ(SELECT("ORDERS"), 0);
  EXPECT_EQ(FIELDGET(1).num(), 3);

  DBCLOSEAREA();
  DBCLOSEAREA();  // an unused area: nothing to do
  EXPECT_EQ(VAR2CHAR(WORKSPACELIST()), "{1, 5}");
}

// The clean-up at exit: commit and close each area; when that fails, roll
// back and close; errors break out instead of reaching a dialog.
TEST_F(TwoTables, FailedCommitRollsBackUnderABreakingHandler) {
  dbOpenMemory("third", {"Z"}, {{0}});
  DBSELECTAREA(2);
  auto& areas = workAreas();
  for (int n : {1, 2, 3}) inArea(n, [] { return FIELDPUT(1, "changed"); });
  useTestStorage().fail(*areas.table(2), Storage::Step::Commit);
  std::vector<std::shared_ptr<Table>> tables{areas.open.at(1), areas.open.at(2), areas.open.at(3)};

  ScopedErrorBlock breaker(
      makeBlock("{|e| Break(e)}", [](std::span<const Item> a) -> Item { BREAK(a[0]); }));
  auto in = [](const Item& area, void (*op)()) { inArea(area, [op] { return op(), Item(); }); };
  int failures = 0;
  ArrayRef list = WORKSPACELIST();
  for (const Item& area : *list) {
    sequence([&] { in(area, DBCOMMIT), in(area, DBCLOSEAREA); },
             [&](const Item& e) {
               ++failures;
               EXPECT_EQ(e.as<Error>()->genCode.num(), EG_DBCMD);
               in(area, DBRROLLBACK), in(area, DBCLOSEAREA);
             });
  }
  EXPECT_EQ(failures, 1);
  EXPECT_TRUE(areas.open.empty());
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(tables[0]->records[0][0].str(), "changed");
  EXPECT_EQ(tables[1]->records[0][0].num(), 1);
  EXPECT_EQ(tables[2]->records[0][0].str(), "changed");
}
