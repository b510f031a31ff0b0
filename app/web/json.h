// One JSON object written field by field, for the browser display's events:
// a field is added with one call, and the text is valid JSON whatever the
// strings hold (a structure's name and a break's note are the user's UTF-8).
#pragma once

#include <string>
#include <string_view>

namespace potclock {

class JsonObject {
 public:
  JsonObject& add(std::string_view key, std::string_view value);
  JsonObject& add(std::string_view key, const char* value) {
    return add(key, std::string_view(value));
  }
  JsonObject& add(std::string_view key, bool value);
  JsonObject& add(std::string_view key, long value);
  JsonObject& add(std::string_view key, int value) { return add(key, static_cast<long>(value)); }
  // Written to the millisecond: the events' times are wall-clock seconds.
  JsonObject& add(std::string_view key, double value);

  std::string text() const { return text_ + "}"; }

 private:
  void key(std::string_view key);
  std::string text_ = "{";
};

// `text` as a JSON string, quotes and all. Bytes that are not UTF-8 become
// U+FFFD, so that no reader refuses the whole event for one bad byte.
std::string jsonString(std::string_view text);

}  // namespace potclock
