// The read state: one record of the form read in progress, shared by every
// routine of the form system, with a stack of the outer reads' states so that
// reads can nest.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "runtime/console/get.h"
#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace potclock {

// How a Get was left; the value of its exitState.
enum ExitState : int {
  EXIT_NONE = 0,      // stay on the same Get
  EXIT_UP = 1,        // previous Get
  EXIT_DOWN = 2,      // next Get
  EXIT_TOP = 3,       // first Get, then on as EXIT_DOWN
  EXIT_BOTTOM = 4,    // last Get, then on as EXIT_UP
  EXIT_ENTER = 5,     // next Get; past the last one the read ends
  EXIT_WRITE = 6,     // the read ends
  EXIT_ESCAPE = 7,    // the read ends
  EXIT_WHEN = 8,      // entry refused: repeat the last movement
  EXIT_CLICK = 9,     // the Get at nextPos
  EXIT_ACTIVATE = 10  // the Get held in lastActiveGet
};

// The class object returned by READSTATUS() carries the state of the current
// read in its class-level members. Other instances exist only as the saved
// copies that save() pushes onto lastStatus; through them the class-level
// members still read and write the one shared state.
class ReadStatus : public krx::Object {
 public:
  // --- Class-level members (meaningful on the class object) ------------------
  bool updated = false;       // some Get was assigned to its variable
  bool killRead = false;      // the read is to end (exit state 7)
  krx::ArrayRef lastStatus;   // saved states of the outer reads
  bool hitTop = false;        // the cursor bounced off the first Get
  bool hitBottom = false;     // the cursor bounced off the last Get
  int lastExitState = 0;      // exit state recorded by the last settle
  int lastPos = 0;            // position of the Get left last
  int thisPos = 0;            // current Get, from 1; 0 ends the read
  int nextPos = 0;            // target of a mouse click
  krx::ArrayRef getList;      // the Gets of the read, in screen order
  krx::GetRef activeGet;      // the Get being edited, or nil
  krx::GetRef lastActiveGet;  // the one before, or the GETACTIVE target
  std::string procName;       // routine that called READMODAL
  int procLine = 0;           // and its line
  std::string readVar;        // upper-case variable name of activeGet
  bool useAppEvent = false;   // read from the event queue instead of INKEY

  // --- Instance members: the copies kept by save() ---------------------------
  bool lKillRead = false;
  bool lHitTop = false;
  bool lHitBottom = false;
  krx::ArrayRef aGetList;
  krx::GetRef oActiveGet;
  krx::GetRef oLastActiveGet;
  int nLastExitState = 0;
  int nThisPos = 0;
  int nLastPos = 0;
  std::string cProcName;
  int nProcLine = 0;
  std::string cReadVar;

  // --- Class methods; each works on the shared state and returns it ----------
  ReadStatus& initClass();
  // Picks the next current Get from the exit state of the one just left.
  // `pos`, normally nil, must lie between 1 and the number of Gets.
  ReadStatus& settle(const krx::Item& pos = {});
  ReadStatus& save();
  ReadStatus& restore();
  // Makes the Get at thisPos the active one and refreshes the scoreboard.
  ReadStatus& postActiveGet();
  // A left click at a screen cell during an event read.
  ReadStatus& LbClick(int row, int col);

  // A plain instance, as save() makes; INIT does nothing else.
  static std::shared_ptr<ReadStatus> New();

  // The Get at a position of getList (from 1), or null.
  krx::GetRef getAt(int pos) const;
  int getCount() const { return getList ? static_cast<int>(getList->size()) : 0; }

  std::string className() const override { return "ReadStatus"; }
  krx::Item getMember(std::string_view name) override;
  void setMember(std::string_view name, const krx::Item& value) override;
  krx::Item send(std::string_view method, std::span<const krx::Item> args) override;

 private:
  friend std::shared_ptr<ReadStatus> READSTATUS();
  bool isClass_ = false;
};
using ReadStatusRef = std::shared_ptr<ReadStatus>;

// The read state of the whole program, created (and initClass run) on first use.
ReadStatusRef READSTATUS();

// UPPER(get:name), or "" when the Get has no name.
std::string GETVARNAME(const krx::Get& get);

// The Item a Get is passed as to callables (its shared handle).
krx::Item itemOf(krx::Get& get);

}  // namespace potclock
