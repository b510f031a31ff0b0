# The runtime's rooms depend one way: the language knows nothing of the
# console services or the terminal, the console services nothing of the
# backends that show them, the backends nothing of the edit field, and none
# of it anything of the program built on it. Run as
#   cmake -DROOT=<source dir> [-DSTAMP=<file>] -P check-runtime-layers.cmake
# and fails, naming each include that breaks a rule, so that the build does.
if(NOT ROOT)
  message(FATAL_ERROR "check-runtime-layers: ROOT not given")
endif()

# Per room: the include prefixes it must not use, and why.
set(lang_forbidden "runtime/console/;runtime/backends/")
set(lang_why "the language knows nothing of the console services or the terminal")
set(console_forbidden "runtime/backends/")
set(console_why "the console services know nothing of the backends")
set(backends_forbidden "runtime/console/get.h")
set(backends_why "the backends know nothing of the edit field")
set(program_forbidden "app/;bigtext/;errors/;forms/;frame/")
set(program_why "the runtime knows nothing of the program built on it")

set(problems "")
file(GLOB entries LIST_DIRECTORIES true RELATIVE ${ROOT}/runtime ${ROOT}/runtime/*)
foreach(room IN LISTS entries)
  if(NOT IS_DIRECTORY ${ROOT}/runtime/${room} OR NOT DEFINED ${room}_why)
    list(APPEND problems "runtime/${room}: not one of the runtime's rooms (lang, console, backends)")
    continue()
  endif()
  file(GLOB files RELATIVE ${ROOT} ${ROOT}/runtime/${room}/*.h ${ROOT}/runtime/${room}/*.cpp)
  foreach(f IN LISTS files)
    file(STRINGS ${ROOT}/${f} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" target "${line}")
      foreach(kind IN ITEMS ${room} program)
        foreach(prefix IN LISTS ${kind}_forbidden)
          string(FIND "${target}" "${prefix}" at)
          if(at EQUAL 0)
            list(APPEND problems "${f} includes ${target}: ${${kind}_why}")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "runtime layers broken:\n  ${text}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
