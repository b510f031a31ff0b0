// Something that can stand in for the user at an alert. A backend may be
// one as well: ALERT asks its backend first and puts up its own box, read
// with keys, only when the stand-in leaves the answer to the keyboard. The
// terminal is none; the headless backend is, so that a scripted run answers
// the error handler's questions without steering the box key by key, and
// can tell what it was asked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krx {

class AlertStandIn {
 public:
  // The answer (0 for none, else the option's number from 1), or nullopt
  // to let the box run with keys.
  virtual std::optional<int> answerAlert(std::string_view text,
                                         const std::vector<std::string>& options) = 0;
  // How an alert left to the keys was answered.
  virtual void alertAnswered(int answer) = 0;

 protected:
  ~AlertStandIn() = default;
};

}  // namespace krx
