// The running timer's fixed texts, shared by the built-in levels' timer and
// the timer of an organiser's own structure, so both screens read alike.
#pragma once

#include <string_view>

namespace potclock {

inline constexpr std::string_view kCaption =
    "S M A L L   B L I N D  /  B I G   B L I N D   (Level: ";
inline constexpr std::string_view kTimeHeading =
    "T I M E    R E M A I N I N G   F O R   T H I S    L E V E L";
inline constexpr std::string_view kHandHeading =
    "             P R E S S   A   K E Y   F O R   N E X T   H A N D             ";
inline constexpr std::string_view kNextLevel = "N E X T   L E V E L   =  ";
inline constexpr std::string_view kMinutesHints =
    "Press: Alt-Enter=size, +/- to skip levels, Space to pause, Escape to quit";
inline constexpr std::string_view kHandsHint = "Press Escape to quit";
// The minutes hint row of a game that keeps the tournament's numbers.
inline constexpr std::string_view kDirectorHints =
    "B=bust E=entry R=rebuy A=add-on [/]=-/+1 min  +/- skip  Space pause  Esc quit";
inline constexpr std::string_view kDisplayHint =
    "A display of the game (potclock --watch): Escape or q leaves it";
inline constexpr std::string_view kNoTime = "        ";
inline constexpr std::string_view kQuitQuestion = "Quit PotClock?";
// How far past its end a level may have run for the next to start at that end.
inline constexpr double kCarryOver = 2.0;

}  // namespace potclock
