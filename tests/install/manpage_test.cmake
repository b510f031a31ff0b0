# The manual page renders with every warning on and says nothing.
#   -DGROFF=... -DPAGE=...
execute_process(COMMAND "${GROFF}" -man -ww -z "${PAGE}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out STREQUAL "")
  message(FATAL_ERROR "groff: status ${status}\n${out}${err}")
endif()
