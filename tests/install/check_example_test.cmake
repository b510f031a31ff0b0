# `potclock --check` on the shipped example: status 0, the schedule on
# standard output and nothing on standard error.
#   -DPROGRAM=... -DEXAMPLE=...
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${PROGRAM}" --check "${EXAMPLE}" RESULT_VARIABLE status
  OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "--check ${EXAMPLE}: status ${status}, \"${err}\"")
endif()
# The start times depend on the hour the test runs at.
foreach(row
    "^Friday deep stack\n\nLevel  Blinds                       Ante  Length        Start\n"
    "\n    1  25/50                              20 min        [0-2][0-9]:[0-5][0-9]\n"
    "\n       Colour up the 25s                  10 min break  [0-2][0-9]:[0-5][0-9]"
    "\n   12  2,500/5,000                 1,000  15 min        [0-2][0-9]:[0-5][0-9]"
    "\n\nTotal: 4 h 5 min in 12 levels and 2 breaks, ending at [0-2][0-9]:[0-5][0-9]")
  if(NOT out MATCHES "${row}")
    message(FATAL_ERROR "--check ${EXAMPLE} printed no row matching \"${row}\":\n${out}")
  endif()
endforeach()
