// What the browser display is told of a game: the event's JSON, made from
// the state file as the clock leaves it, and valid whatever the organiser's
// names and notes hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/web/event.h"
#include "app/web/json.h"

namespace potclock {
namespace {

TEST(WebJson, StringsAreEscapedAndBadUtf8Replaced) {
  const struct {
    std::string text, json;
  } cases[] = {
      {"Friday \"deep\" stack", R"("Friday \"deep\" stack")"},
      {"back\\slash\nnew line\ttab", R"("back\\slash\nnew line\u0009tab")"},
      {"Café – 10€ 🂡", "\"Café – 10€ 🂡\""},
      {"</script>", R"("\u003c/script>")"},
      {"cut \xE2\x82", R"("cut \ufffd\ufffd")"},
      {"overlong \xC0\xAF, surrogate \xED\xA0\x80",
       R"("overlong \ufffd\ufffd, surrogate \ufffd\ufffd\ufffd")"},
      {std::string("nul\0", 4), R"("nul\u0000")"},
  };
  for (const auto& c : cases) EXPECT_EQ(jsonString(c.text), c.json) << c.text;
  EXPECT_EQ(JsonObject().add("a", 1).add("b", true).add("c", 1.5).add("d", "x").text(),
            R"({"a":1,"b":true,"c":1.500,"d":"x"})");
}

Structure deepStack() {
  Structure s;
  s.name = "Friday \"deep\" stack";
  s.entries = {{false, 25, 50, 0, 20, ""},
               {true, 0, 0, 0, 10, "Chip race \xE2\x80\x93 colour up"},
               {false, 50, 100, 100, 20, ""}};
  return s;
}

TEST(WebEvent, TheGameAsTheClockShowsIt) {
  constexpr double kNow = 1'800'000'000;
  const Game game = Game::of(deepStack());
  const Game builtIn = Game::builtIn(20, Mode::minutes);
  const Game hands = Game::builtIn(8, Mode::hands);
  GameState running{1, 20, Mode::minutes, false, kNow + 65.4, 0, false, 0, true};
  GameState paused = running;
  paused.paused = true;
  paused.secondsLeft = 300;
  GameState asking = running;
  asking.asking = true;
  asking.secondsLeft = 70;
  GameState inBreak = running;
  inBreak.nLevel = 2;
  // Ran out while nobody looked: the break's ten minutes have begun.
  GameState ranOut = running;
  ranOut.endsAt = kNow - 1;
  GameState builtInState{3, 20, Mode::minutes, false, kNow + 100, 0, false, 0, false};
  GameState handState{5, 8, Mode::hands, false, 0, 0, false, 2, false};
  const struct {
    const char* what;
    GameState state;
    const Game& game;
    std::vector<std::string> has;
  } cases[] = {
      {"running",
       running,
       game,
       {R"("game":true)", R"("structure":"Friday \"deep\" stack")", R"("level":"1")",
        R"("blinds":"25 / 50")", R"("ante":0)", R"("mode":"minutes")", R"("paused":false)",
        R"("next":"break of 10 minutes")", R"("counting":true)", R"("endsAt":1800000065.400)",
        R"("left":65.400)", R"("seq":7)", R"("now":1800000000.000)", R"("chime":true)"}},
      {"paused", paused, game, {R"("paused":true)", R"("counting":false)", R"("left":300.000)"}},
      {"asking", asking, game, {R"("asking":true)", R"("counting":false)", R"("left":70.000)"}},
      {"break",
       inBreak,
       game,
       {R"("break":true)", "\"note\":\"Chip race \xE2\x80\x93 colour up\"",
        R"("next":"50 / 100  Ante: 100")"}},
      {"ran out", ranOut, game, {R"("index":1)", R"("break":true)", R"("left":599.000)"}},
      {"built-in",
       builtInState,
       builtIn,
       {R"("level":"3")", R"("blinds":"3 / 6")", R"("next":"5 / 10")", R"("index":2)",
        R"("ante":0)"}},
      {"hands",
       handState,
       hands,
       {R"("mode":"hands")", R"("hand":3)", R"("hands":8)", R"("counting":false)"}},
  };
  for (const auto& c : cases) {
    const Showing s = showingAt(c.state, c.game, "game", kNow);
    const std::string json = eventJson(s, 7, kNow, true);
    for (const std::string& field : c.has)
      EXPECT_NE(json.find(field), std::string::npos) << c.what << ": " << field << " in " << json;
  }
  // Only what changes the page: not the seconds as they run.
  EXPECT_EQ(showingAt(running, game, "game", kNow).fields.text(),
            showingAt(running, game, "game", kNow + 30).fields.text());
}

TEST(WebEvent, NoGameIsAWaitingEventThatSaysWhy) {
  const Result<GameState> missing = Failure{Failure::missing, {}};
  EXPECT_EQ(showingAt(missing, std::nullopt, "/s/game", 0).fields.text(),
            R"({"game":false,"why":""})");
  const Result<GameState> damaged = Failure{Failure::damaged, {}};
  const std::string why = showingAt(damaged, std::nullopt, "/s/game", 0).fields.text();
  EXPECT_NE(why.find("/s/game"), std::string::npos) << why;
  // Over: its last level ran out.
  const GameState over{63, 1, Mode::minutes, false, 1000, 0, false, 0, false};
  EXPECT_EQ(showingAt(over, Game::builtIn(1, Mode::minutes), "game", 5000).fields.text(),
            R"({"game":false,"why":""})");
}

}  // namespace
}  // namespace potclock
