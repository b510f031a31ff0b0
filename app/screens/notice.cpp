#include "app/screens/notice.h"

#include <string>

#include "app/screens/say.h"
#include "app/screens/timer.h"
#include "runtime/console/console.h"

namespace potclock {

namespace {
constexpr int kNoticeRow = 24;
}  // namespace

void showKeepingNotice(std::string_view notice) {
  if (notice.empty()) return;
  const int row = krx::ROW();
  const int col = krx::COL();
  const std::string colors = krx::SETCOLOR(kPromptColors);
  std::string line(notice.substr(0, 80));
  line.resize(80, ' ');
  say(kNoticeRow, 0, line);
  krx::SETCOLOR(colors);
  krx::SETPOS(row, col);
}

}  // namespace potclock
