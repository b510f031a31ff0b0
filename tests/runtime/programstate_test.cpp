#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/console/programstate.h"

namespace {

std::vector<std::string> gone;

struct Counter {
  int n = 0;
  ~Counter() { gone.push_back("counter"); }
};
struct Name {
  std::string text = "unset";
  ~Name() { gone.push_back("name"); }
};

TEST(ProgramState, OneValuePerTypeMadeOnFirstUseAndGoneNewestFirst) {
  gone.clear();
  {
    krx::ProgramState state;
    Counter& counter = state.get<Counter>();
    ++counter.n;
    state.get<Name>().text = "kept";
    ++state.get<Counter>().n;
    EXPECT_EQ(&state.get<Counter>(), &counter);  // the same value, not a copy
    EXPECT_EQ(counter.n, 2);
    EXPECT_EQ(state.get<Name>().text, "kept");
    EXPECT_TRUE(gone.empty());
  }
  // As module globals end: the one made last goes first.
  EXPECT_EQ(gone, (std::vector<std::string>{"name", "counter"}));
}

}  // namespace
