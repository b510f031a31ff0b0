// Accessor callables for variables, fields and named variables; whole-record
// copies between a work area and an array.
#include "forms/accessors.h"
#include "forms_fixture.h"
#include "runtime/console/kept/workarea.h"
#include "runtime/lang/error.h"

namespace {

using krx::Item;

class AccessorsTest : public FormsTest {
 protected:
  // CUST in area 1 (current), STOCK in area 2.
  void openTables() {
    krx::dbOpenMemory("STOCK", {"ITEM", "QTY"}, {{"Chips", 500}}, 2);
    krx::dbOpenMemory("CUST", {"NAME", "AGE", "CITY"}, {{"Ann", 30, "Oslo"}}, 1);
  }
};

// Counts the setData and getData messages it receives.
class Record : public krx::Object {
 public:
  int sets = 0;
  int gets = 0;
  std::string className() const override { return "RECORD"; }
  Item send(std::string_view method, std::span<const Item> args) override {
    if (krx::upperAscii(method) == "SETDATA") return ++sets;
    if (krx::upperAscii(method) == "GETDATA") return ++gets;
    return Object::send(method, args);
  }
};

TEST_F(AccessorsTest, AnchorByReferenceWritesTheCallersVariable) {
  krx::VarRef nLevel = krx::makeVar(1);
  krx::BlockRef cb = potclock::ANCHORCB(nLevel);
  EXPECT_EQ(cb->eval({Item(5)}).num(), 5);
  EXPECT_EQ(nLevel->num(), 5);
  EXPECT_EQ(cb->eval().num(), 5);
  cb->eval({Item()});  // an explicit nil is stored, not read
  EXPECT_TRUE(nLevel->isNil());
  EXPECT_EQ(cb->source(), "{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }");

  // The variable's storage lives on with the callable after its scope ends.
  {
    krx::VarRef local = krx::makeVar(2);
    cb = potclock::ANCHORCB(local);
  }
  cb->eval({Item(4)});
  EXPECT_EQ(cb->eval().num(), 4);
}

TEST_F(AccessorsTest, AnchorByValueOwnsAVariableOfItsOwn) {
  Item original = "C";
  krx::BlockRef cb = potclock::ANCHORCB(original);
  EXPECT_EQ(cb->eval().str(), "C");
  cb->eval({Item("M")});
  EXPECT_EQ(cb->eval().str(), "M");
  EXPECT_EQ(original.str(), "C");

  EXPECT_TRUE(potclock::ANCHORCB()->eval().isNil());

  // Through the registry: compiled text passes by value.
  Item viaName = krx::macroEval("AnchorCB(3)");
  ASSERT_TRUE(viaName.isBlock());
  EXPECT_EQ(viaName.block()->eval().num(), 3);
}

TEST_F(AccessorsTest, FieldBlockQualifiesTheNameOnlyWhenNeeded) {
  openTables();
  krx::BlockRef name = potclock::FIELDBLOCK("NAME");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->source(), "{|x| IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x) }");
  EXPECT_EQ(name->eval().str(), "Ann");
  EXPECT_EQ(name->eval({Item()}).str(), "Ann");  // nil reads
  name->eval({Item("Bea")});
  EXPECT_EQ(krx::FIELDGET(1).str(), "Bea");

  EXPECT_EQ(potclock::FIELDBLOCK("NOPE"), nullptr);

  krx::BlockRef age = potclock::FIELDBLOCK("CUST->AGE");
  ASSERT_TRUE(age);
  EXPECT_EQ(age->source(), "{|x| IIf(x==NIL,CUST->AGE,CUST->AGE:=x) }");
  EXPECT_EQ(age->eval().num(), 30);
}

TEST_F(AccessorsTest, FieldWBlockWorksInItsAreaAndLeavesTheCurrentOne) {
  openTables();
  ASSERT_EQ(krx::SELECT(), 1);

  krx::BlockRef byNumber = potclock::FIELDWBLOCK("QTY", Item(2));
  ASSERT_TRUE(byNumber);
  EXPECT_EQ(byNumber->source(), "{|x| (2)->(IIf(x==NIL,FIELD->QTY,FIELD->QTY:=x)) }");
  EXPECT_EQ(krx::SELECT(), 1);
  EXPECT_EQ(byNumber->eval().num(), 500);
  byNumber->eval({Item(450)});
  EXPECT_EQ(krx::SELECT(), 1);

  krx::BlockRef byAlias = potclock::FIELDWBLOCK("QTY", Item("STOCK"));
  ASSERT_TRUE(byAlias);
  EXPECT_EQ(byAlias->source(), "{|x| STOCK->(IIf(x==NIL,FIELD->QTY,FIELD->QTY:=x)) }");
  EXPECT_EQ(byAlias->eval().num(), 450);

  EXPECT_EQ(potclock::FIELDWBLOCK("NAME", Item(2)), nullptr);
  EXPECT_EQ(krx::SELECT(), 1);
}

TEST_F(AccessorsTest, MemvarBlockOfUnknownNameIsNilAndRestoresTheHandler) {
  t.rt.memvars.definePublic("nCount", 4);
  krx::BlockRef count = potclock::MEMVARBLOCK("nCount");
  ASSERT_TRUE(count);
  EXPECT_EQ(count->source(), "{|x| IIf(x==NIL,M->nCount,M->nCount:=x) }");
  EXPECT_EQ(count->eval().num(), 4);
  count->eval({Item(9)});
  EXPECT_EQ(t.rt.memvars.find("nCount")->num(), 9);

  Item handler = krx::compileBlock("{|e| Break(e) }");
  krx::ERRORBLOCK(handler);
  EXPECT_EQ(potclock::MEMVARBLOCK("nNowhere"), nullptr);
  EXPECT_EQ(potclock::MEMVARBLOCK("M->nNowhere"), nullptr);
  EXPECT_TRUE(krx::ERRORBLOCK().same(handler));
}

TEST_F(AccessorsTest, ScatterAndGatherCopyTheRecordAsValues) {
  openTables();
  Item fresh = potclock::SCATTER();
  ASSERT_TRUE(fresh.isArray());
  ASSERT_EQ(fresh.array()->size(), 3u);
  EXPECT_EQ((*fresh.array())[0].str(), "Ann");
  EXPECT_EQ((*fresh.array())[2].str(), "Oslo");

  Item empty = Item(krx::makeArray());
  EXPECT_TRUE(potclock::SCATTER(empty).same(empty));
  EXPECT_TRUE(empty.array()->empty());

  Item changed = Item(krx::makeArray({"Cid", 41}));
  EXPECT_TRUE(potclock::GATHER(changed).same(changed));
  EXPECT_EQ(krx::FIELDGET(1).str(), "Cid");
  EXPECT_EQ(krx::FIELDGET(2).num(), 41);
  EXPECT_EQ(krx::FIELDGET(3).str(), "Oslo");

  EXPECT_EQ(potclock::GATHER(Item("text")).str(), "text");
  EXPECT_EQ(krx::FIELDGET(1).str(), "Cid");
}

TEST_F(AccessorsTest, ScatterAndGatherSendMessagesOnlyToAllObjectArrays) {
  openTables();
  auto a = std::make_shared<Record>();
  auto b = std::make_shared<Record>();
  Item objects = Item(krx::makeArray({Item(a), Item(b)}));
  potclock::SCATTER(objects);
  potclock::GATHER(objects);
  EXPECT_EQ(a->sets, 1);
  EXPECT_EQ(b->sets, 1);
  EXPECT_EQ(a->gets, 1);
  EXPECT_TRUE((*objects.array())[0].same(Item(a)));

  // One plain value makes the whole array values: the object is overwritten.
  Item mixed = Item(krx::makeArray({Item(a), Item(0)}));
  potclock::SCATTER(mixed);
  EXPECT_EQ(a->sets, 1);
  EXPECT_EQ((*mixed.array())[0].str(), "Ann");
  EXPECT_EQ((*mixed.array())[1].num(), 30);
}

}  // namespace
