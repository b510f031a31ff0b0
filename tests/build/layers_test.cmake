# The rooms' one-way rules hold however an include is spelled: a tree of
# allowed includes passes, and the same tree with one row more (an include
# out of its room's reach, or a file where no room is) fails naming it.
# Run with -DCHECK=<the check script> -DWORK_DIR=<scratch directory>.
set(allowed
  [[frame/entry.cpp | "app/main.h"]]
  [[frame/entry.cpp | <errors/errorsys.h>]]
  [[app/main.cpp | "./screens/timer.h"]]
  [[app/screens/timer.cpp | "../disk/statefile.h"]]
  [[app/screens/timer.cpp | "app/game/../game/levels.h"]]
  [[app/screens/timer.cpp | "forms/readmodal.h"]]
  [[app/disk/statefile.cpp | "../game/game.h"]]
  [[app/game/levels.cpp | <runtime/lang/item.h>]]
  [[errors/errorsys.cpp | "runtime/console/console.h"]]
  [[runtime/backends/painter.cpp | "../console/screen.h"]]
  [[runtime/console/screen.cpp | "runtime/lang/item.h"]]
  [[runtime/lang/item.cpp | "item.h"]]
  [[tests/app/timer_test.cpp | "frame/entry.h"]]
  [[build/CMakeCache.txt | ]]
  [[build/CMakeFiles/id.cpp | "frame/entry.h"]])
set(refused
  [[runtime/lang/value.h | <runtime/console/screen.h>]]
  [[runtime/lang/compile.cpp | "../backends/terminal.h"]]
  [[runtime/console/keys.cpp | "runtime/lang/../backends/headless.h"]]
  [[runtime/backends/paint.cpp | "runtime/console/get.h"]]
  [[runtime/console/window.h | "forms/readstatus.h"]]
  [[errors/errorlog.cpp | "./forms/readmodal.h"]]
  [[bigtext/say.cpp | "../app/main.h"]]
  [[app/game/levels.cpp | "../screens/timer.h"]]
  [[app/disk/statefile.cpp | "app/screens/say.h"]]
  [[app/game/game.h | <app/disk/statedir.h>]]
  [[app/screens/clock.cpp | "app/main.h"]]
  [[app/main.cpp | "../frame/options.h"]]
  [[forms/readmodal.cpp | "../tests/support/temp_dir.h"]]
  [[runtime/loose.h | ]]
  [[app/extras/x.h | ]]
  [[tidy.cpp | ]])

function(check rows out_result out_text)
  file(REMOVE_RECURSE ${WORK_DIR}/tree)
  foreach(row IN LISTS allowed rows)
    string(REGEX MATCH "^([^ ]+) [|] (.*)$" row "${row}")
    file(APPEND ${WORK_DIR}/tree/${CMAKE_MATCH_1} "#include <vector>\n  #  include ${CMAKE_MATCH_2}\n")
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK_DIR}/tree -P ${CHECK}
                  RESULT_VARIABLE result ERROR_VARIABLE text OUTPUT_QUIET)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

check("" result text)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "allowed includes refused:\n${text}")
endif()
foreach(row IN LISTS refused)
  check("${row}" result text)
  string(REGEX MATCH "^(([^ ]*/)?[^ /]+) [|] (.*)$" row "${row}")
  if(CMAKE_MATCH_3)
    set(named "${CMAKE_MATCH_1}: #include ${CMAKE_MATCH_3} lands in")
  else()
    set(named "${CMAKE_MATCH_2}: a folder of sources that is no room")
  endif()
  string(FIND "${text}" "${named}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "not refused as \"${named}...\": ${row}\n${text}")
  endif()
endforeach()
