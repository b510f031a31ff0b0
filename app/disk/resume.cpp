#include "app/disk/resume.h"

#include <string>
#include <utility>

#include "app/game/structurefile.h"

namespace potclock {

namespace {

constexpr const char* kGameOver =
    "potclock: the game is over: its last level ran out while the clock was closed";

Refusal damaged(const std::filesystem::path& file) {
  return {loadFailureMessage(file, {Failure::damaged, {}})};
}

// Whether `state` is a point of `game`: an entry it has, of the length and
// kind the state says.
bool fits(const GameState& state, const Game& game) {
  if (state.nLevel < 1 || state.nLevel > game.size()) return false;
  const int index = state.nLevel - 1;
  // A count belongs to a structure with a [tournament] table, and such a
  // game is always written with one.
  return state.structure == game.fromFile() && state.nPerLevel == game.length(index) &&
         state.mode == game.mode(index) &&
         state.count.has_value() == game.structure().numbers.has_value();
}

}  // namespace

std::optional<Game> gameOfState(const GameState& state, std::optional<Structure> copy) {
  std::optional<Game> game;
  if (!state.structure)
    game = Game::builtIn(state.nPerLevel, state.mode);
  else if (copy && !copy->entries.empty())
    game = Game::of(std::move(*copy));
  if (game && !fits(state, *game)) game.reset();
  return game;
}

std::optional<ResumePoint> resumePoint(const GameState& state, const Game& game, double now) {
  Within within;
  within.paused = state.paused;
  within.secondsLeft = state.paused ? static_cast<double>(state.secondsLeft) : 0;
  within.handsCounted = state.handsCounted;
  within.corrected = state.corrected;
  within.startsAt = state.startsAt;
  auto point = game.standingAt(state.nLevel - 1, within, state.endsAt, now);
  if (point) point->count = state.count;
  return point;
}

std::optional<ResumePoint> shownPoint(const GameState& state, const Game& game, double now) {
  if (state.asking)
    return ResumePoint{state.nLevel - 1, {static_cast<double>(state.secondsLeft), false, 0}};
  auto point = resumePoint(state, game, now);
  // Before a planned start the screens count down to it.
  if (point && point->within.startsAt > 0) point->within.secondsLeft = point->within.startsAt - now;
  return point;
}

std::optional<Structure> loadStructureCopy(const StateDir& dir, std::string_view name) {
  const std::string copy = structureCopyName(name);
  // The copy was written from a structure file, so it is no larger than one.
  const auto text = dir.read(copy, kMaxStructureFileSize);
  if (!text.ok()) return std::nullopt;
  auto read = parseStructure(text.value(), copy);
  if (!read.ok()) return std::nullopt;
  return std::move(read.value());
}

Result<ResumePoint, Refusal> standingAt(const SavedGame& game, double now) {
  if (auto point = resumePoint(game.state, game.game, now)) return *point;
  removeGameState(game.file);
  return Refusal{kGameOver, true};
}

Result<SavedGame, Refusal> loadSavedGame(const std::filesystem::path& file, double now) {
  // The directory opened once, for the game and a structure game's copy.
  const auto dir = StateDir::open(stateLocationOf(file), false);
  const std::string name = file.filename().string();
  auto loaded = dir.ok() ? loadGameState(dir.value(), name) : Result<GameState>(dir.failure());
  if (!loaded.ok()) return Refusal{loadFailureMessage(file, loaded.failure())};
  const GameState& state = loaded.value();
  auto game = gameOfState(
      state, state.structure ? loadStructureCopy(dir.value(), name) : std::optional<Structure>());
  if (!game) return damaged(file);
  SavedGame saved{file, state, std::move(*game)};
  const auto standing = standingAt(saved, now);
  if (!standing.ok()) return standing.failure();
  return saved;
}

}  // namespace potclock
