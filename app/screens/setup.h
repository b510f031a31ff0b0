// The setup dialogue: the first half of MAIN.
#pragma once

#include <string_view>

#include "app/game/mode.h"

namespace potclock {

// What the dialogue leaves for the timer, always within the timer's bounds.
struct Handover {
  int nLevel;     // 1 to 63
  int nPerLevel;  // minutes or hands; manual: 1 to 40; computed: 1 or more
  Mode mode;
};

// Shows the banner and level list, asks computed or manual and the questions
// of that mode, computes the schedule or takes the answers, and in minutes
// mode waits at the start prompt. Escape at the first question ends the
// program (_QUIT).
// `notice`, when there is one, stays on the bottom row of its screens.
Handover runSetup(std::string_view notice = {});

// The whole screen blank in the setup colours, as a game's first screen
// starts: the dialogue's, or the timer's when there is none.
void blankScreen();

// "Press any key to start timer" below row 10, in the prompt colours, with
// `notice` (a game that is not being kept) on the bottom row, and
// the wait for that key, which the timer then never takes for one of its own.
void startPrompt(std::string_view notice = {});

}  // namespace potclock
