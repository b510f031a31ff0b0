#include "app/game/standing.h"

#include "runtime/lang/strings.h"

namespace potclock {

namespace {

std::string entryName(const Game& game, int index) {
  if (game.isBreak(index)) return "the break";
  return "level " + krx::ALLTRIM(game.designation(index));
}

// The entry that `level N` or `break N` names: the built-in game's table
// level, or the Nth level or break of a structure.
Result<int, std::string> entryNamed(const Game& game, const Command& command) {
  const bool wantBreak = command.kind == Command::Kind::breakAt;
  if (!game.fromFile()) {
    if (wantBreak) return std::string("the built-in levels have no breaks");
    if (command.value < 1 || command.value > game.size())
      return "the built-in levels run from 1 to " + std::to_string(game.size());
    return static_cast<int>(command.value - 1);
  }
  long seen = 0;
  for (int i = 0; i < game.size(); ++i) {
    if (game.isBreak(i) == wantBreak && ++seen == command.value) return i;
  }
  const std::string kind = wantBreak ? "break" : "level";
  if (seen == 0) return "this structure has no " + kind;
  return "this structure has " + kind + "s 1 to " + std::to_string(seen);
}

long roundedUp(double seconds) {
  const auto whole = static_cast<long>(seconds);
  return whole + (static_cast<double>(whole) < seconds ? 1 : 0);
}

std::string signedClock(long seconds) {
  return (seconds < 0 ? "-" : "+") +
         clockText(static_cast<double>(seconds < 0 ? -seconds : seconds));
}

}  // namespace

std::string clockText(double seconds) {
  const long whole = static_cast<long>(krx::ROUND(seconds < 0 ? 0 : seconds, 0));
  const long s = whole % 60;
  return std::to_string(whole / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

Result<Change, std::string> applyCommand(const Game& game, const Standing& now,
                                         const Command& command) {
  using Kind = Command::Kind;
  Change change{now, {}, false};
  Standing& s = change.standing;
  const std::string name = entryName(game, now.index);
  const bool hands = game.mode(now.index) == Mode::hands;
  switch (command.kind) {
    case Kind::level:
    case Kind::breakAt: {
      const auto target = entryNamed(game, command);
      if (!target.ok()) return target.failure();
      s = Standing{target.value(), game.lengthSeconds(target.value()), false, 0, 0, true};
      change.jumped = true;
      const int n = game.length(s.index);
      const std::string length = std::to_string(n) +
                                 (game.mode(s.index) == Mode::hands ? " hand" : " minute") +
                                 (n == 1 ? "" : "s");
      if (game.isBreak(s.index))
        change.answer = "the break begins: " + length;
      else
        change.answer = entryName(game, s.index) + " begins: " + krx::ALLTRIM(game.label(s.index)) +
                        ", " + length;
      return change;
    }
    case Kind::timeBy:
    case Kind::timeTo:
    case Kind::pause:
    case Kind::resume:
      break;
    default: {
      // The count: before the start too (registration), and in hands mode.
      const auto counted =
          recount(game.structure(), now.index, now.count.value_or(Count{0, 0, 0, 0}), command);
      if (!counted.ok()) return counted.failure();
      s.count = counted.value();
      change.answer = countAnswer(game.structure(), now.index, counted.value());
      return change;
    }
  }
  if (!now.started) return std::string("the game has not begun yet: 'level 1' begins it now");
  if (hands) return name + " counts hands, not time";
  switch (command.kind) {
    case Kind::pause:
      if (now.paused) return "the clock is already paused, at " + clockText(now.left);
      s.paused = true;
      s.left = krx::ROUND(now.left, 0);
      change.answer = name + " paused at " + clockText(s.left);
      return change;
    case Kind::resume:
      if (!now.paused) return std::string("the clock is not paused");
      s.paused = false;
      change.answer = name + " goes on at " + clockText(s.left);
      return change;
    default:
      break;
  }
  const double left = command.kind == Kind::timeTo ? static_cast<double>(command.value)
                                                   : now.left + static_cast<double>(command.value);
  if (left < 1) {
    return name + " has " + clockText(now.left) + " left: to end it, tell it the next level";
  }
  const long corrected = now.corrected + roundedUp(left - now.left);
  if (corrected > kMostCorrection || corrected < -kMostCorrection)
    return std::string("a level can be made longer or shorter by a day at most");
  s.left = left;
  s.corrected = corrected;
  change.answer = name + " has " + clockText(left) + " left (" +
                  signedClock(static_cast<long>(krx::ROUND(left, 0)) -
                              static_cast<long>(krx::ROUND(now.left, 0))) +
                  ")" + (now.paused ? ", paused" : "");
  return change;
}

}  // namespace potclock
