// The browser display's page, its style and its script, compiled into the
// program: it serves no file of the machine, and needs none installed.
#pragma once

#include <string_view>

namespace potclock {

extern const std::string_view kPageHtml;
extern const std::string_view kPageCss;
extern const std::string_view kPageJs;

}  // namespace potclock
