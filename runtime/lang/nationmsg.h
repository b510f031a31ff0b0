// National-language message texts: the short texts the runtime and the form
// system show to the user, looked up by number.
#pragma once

#include <string>

namespace krx {

// The message text of that number; "" for a number without one.
std::string NATIONMSG(int number);

}  // namespace krx
