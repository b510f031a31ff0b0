# The lean program loads no shared library but the C library and its loader:
# each other one costs every clock and every display resident memory for
# the pages it touches, and one call (a maths routine, a floating-point
# from_chars) brings one back without a word.
#   -DREADELF=... -DPROGRAM=...
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${READELF}" --dynamic "${PROGRAM}" RESULT_VARIABLE status
  OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${READELF} --dynamic ${PROGRAM}: status ${status}, \"${err}\"")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${out}")
if(NOT needed)
  message(FATAL_ERROR "${PROGRAM} names no shared library at all:\n${out}")
endif()
set(others "")
foreach(line IN LISTS needed)
  string(REGEX REPLACE ".*\\[(.*)\\].*" "\\1" library "${line}")
  if(NOT library MATCHES "^(libc\\.so\\.|ld)")
    list(APPEND others "${library}")
  endif()
endforeach()
if(others)
  message(FATAL_ERROR "${PROGRAM} needs ${others} besides the C library")
endif()
