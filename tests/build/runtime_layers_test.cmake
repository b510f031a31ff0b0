# The runtime's one-way rule is enforced: a tree holding one include that
# breaks it fails the check, naming the file, and the same tree with only
# allowed includes passes. Run with -DCHECK=<the check script>
# -DWORK_DIR=<scratch directory>.
set(cases
  "lang/value.h|runtime/backends/terminal.h"
  "lang/compile.cpp|runtime/console/screen.h"
  "console/keys.cpp|runtime/backends/headless.h"
  "backends/paint.cpp|runtime/console/get.h"
  "console/window.h|forms/readstatus.h")
set(allowed
  "lang/value.h|runtime/lang/item.h"
  "console/keys.cpp|runtime/lang/error.h"
  "backends/paint.cpp|runtime/console/screen.h")

function(make_tree tree rows)
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree}/runtime/lang ${tree}/runtime/console ${tree}/runtime/backends)
  foreach(row IN LISTS rows)
    string(REPLACE "|" ";" parts "${row}")
    list(GET parts 0 file)
    list(GET parts 1 target)
    file(APPEND ${tree}/runtime/${file} "#include <vector>\n  #  include \"${target}\"\n")
  endforeach()
endfunction()

function(run_check tree out_result out_text)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -P ${CHECK}
                  RESULT_VARIABLE result ERROR_VARIABLE text OUTPUT_QUIET)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

foreach(row IN LISTS cases)
  make_tree(${WORK_DIR}/tree "${row}")
  run_check(${WORK_DIR}/tree result text)
  string(REPLACE "|" ";" parts "${row}")
  list(GET parts 0 file)
  if(result EQUAL 0 OR NOT text MATCHES "runtime/${file} includes")
    message(FATAL_ERROR "not refused: runtime/${file} including a file it must not\n${text}")
  endif()
endforeach()

make_tree(${WORK_DIR}/tree "${allowed}")
run_check(${WORK_DIR}/tree result text)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "allowed includes refused:\n${text}")
endif()
file(WRITE ${WORK_DIR}/tree/runtime/loose.h "")
run_check(${WORK_DIR}/tree result text)
if(result EQUAL 0)
  message(FATAL_ERROR "a runtime file outside the rooms passed")
endif()
