// The application window and the database engines as the runtime offers
// them on a text terminal.
#pragma once

#include <string>
#include <string_view>

#include "runtime/object.h"

namespace krx {

// 2: a text-mode application (the only kind a terminal runs).
int APPTYPE();

// The root console: the terminal's 80 by 25 screen, with a screen buffer.
class RootCrt : public Object {
 public:
  std::string className() const override { return "ROOTCRT"; }
  Item getMember(std::string_view name) override;
  void setMember(std::string_view name, const Item& value) override;
  Item send(std::string_view method, std::span<const Item> args) override;
  void Create() { created = true; }

  bool createBuffer = false;
  bool created = false;
};
std::shared_ptr<RootCrt> ROOTCRT_New();

Item SETAPPWINDOW();                     // the application window, or nil
Item SETAPPWINDOW(const Item& window);  // sets it; returns the previous
std::string APPNAME(bool longForm = false);

// The database engines: in-memory work areas need no loading, so every known
// engine loads; a composite builds from two loaded engines.
bool DBELOAD(std::string_view name, bool flag);
bool DBEBUILD(std::string_view name, std::string_view first, std::string_view second);

}  // namespace krx
