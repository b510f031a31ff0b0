# The rooms of the program and of its runtime depend one way, so that each can
# be read, tested and changed knowing only the rooms below it. Run as
#   cmake -DROOT=<source dir> [-DSTAMP=<file> [-DDEPFILE=<file>]] -P check-layers.cmake
# It fails naming each include that leaves its room's reach (the file, the
# include as written, the rule), so that the build does; with DEPFILE it
# names what it read, so that the build runs it again when any of that changes.
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "check-layers: ROOT not given")
endif()

# One line per room: a folder whose own files are checked (a folder below it
# is a room of its own, or fails the check), the rooms it may reach besides
# itself, and why it may reach no more. A folder named there takes in the
# rooms below it; a path written "!path" stays out of reach all the same.
# Every room not named is out of reach: a room is added with its one line,
# and nothing reaches it until a line names it. No "|" or ";" in a line.
set(rooms
  # room            | may reach                                           | why no more
  "frame                | app kept errors forms bigtext runtime                                   | the process entry builds on the whole program"
  "app                  | app/screens app/disk app/game forms bigtext runtime !runtime/console/kept | the timer is started by the frame, its errors reach the handler through the runtime, and its path never opens the services it never reaches"
  "app/screens          | app/disk app/game forms bigtext runtime !runtime/console/kept             | the screens show the game and its file, and know nothing of the routine that opens them"
  "app/web              | app/disk app/game runtime !runtime/console/kept                           | the browser display shows the game and its file to browsers, and knows nothing of the terminal's screens"
  "app/disk             | app/game forms bigtext runtime !runtime/console/kept                      | the game on disk is kept without knowing how it is shown"
  "app/game             | forms bigtext runtime !runtime/console/kept                               | the game is the timer's lowest room: it knows nothing of how it is kept or shown"
  "kept                 | forms runtime                                                           | the services the timer never reaches are started by the frame alone and know nothing of the game"
  "errors               | runtime                                                                 | the error handler stands on the runtime alone, so any part of the program may fail into it"
  "forms                | runtime                                                                 | the form system serves any program on the runtime and knows nothing of this one"
  "bigtext              | runtime                                                                 | the large letters draw on the runtime's screen and know nothing of what they spell"
  "runtime/backends     | runtime/console runtime/lang !runtime/console/get.h                     | a terminal shows the screen and reads keys, and knows nothing of the edit field that takes them or of the program on the runtime"
  "runtime/console/kept | runtime/console runtime/lang                                            | the services the timer never reaches plug into the console services and know nothing of the terminals"
  "runtime/console      | runtime/lang !runtime/console/kept                                      | the console services know nothing of the services kept beside them, of the terminals that show them or of the program built on them"
  "runtime/lang         |                                                                         | the language knows nothing of the services built on it")
# Not checked, and out of every room's reach: the program is built without them.
set(unchecked tests bench tools)

set(room_names "")
foreach(line IN LISTS rooms)
  string(REPLACE "|" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 reach)
  list(GET fields 2 why)
  string(STRIP "${name}" name)
  string(STRIP "${reach}" reach)
  string(STRIP "${why}" why)
  string(REGEX REPLACE "[ \t]+" ";" reach "${reach}")
  list(APPEND room_names ${name})
  set(reach_${name} ${reach})
  set(why_${name} "${why}")
endforeach()

# The room or unchecked folder a path of the tree lands in, the deepest that
# holds it; empty outside them all (a system header, a file of another tree).
function(place_of path out)
  set(best "")
  set(best_length 0)
  foreach(place IN LISTS room_names unchecked)
    string(FIND "${path}" "${place}/" at)
    string(LENGTH "${place}" length)
    if(at EQUAL 0 AND length GREATER best_length)
      set(best ${place})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

function(in_reach room place path out)
  set(${out} FALSE PARENT_SCOPE)
  foreach(entry IN LISTS reach_${room})
    if(entry MATCHES "^!(.*)$")
      string(FIND "${path}/" "${CMAKE_MATCH_1}/" at)
      if(at EQUAL 0)
        return()
      endif()
    endif()
  endforeach()
  if(place STREQUAL room)
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  foreach(entry IN LISTS reach_${room})
    string(FIND "${place}/" "${entry}/" at)
    if(at EQUAL 0)
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# The sources of every folder but the unchecked ones, and every folder and
# file looked at, so that a file or folder added anywhere is seen next time.
cmake_path(SET ROOT NORMALIZE "${ROOT}/")
set(sources *.h *.hpp *.cpp *.cc)
list(TRANSFORM sources PREPEND ${ROOT} OUTPUT_VARIABLE patterns)
file(GLOB files RELATIVE ${ROOT} ${patterns})
set(read ${ROOT})
file(GLOB tops LIST_DIRECTORIES true RELATIVE ${ROOT} ${ROOT}*)
foreach(top IN LISTS tops)
  # A build tree inside the source tree holds sources of its own.
  if(top MATCHES "^[.]" OR top IN_LIST unchecked OR NOT IS_DIRECTORY ${ROOT}${top}
     OR EXISTS ${ROOT}${top}/CMakeCache.txt)
    continue()
  endif()
  list(TRANSFORM sources PREPEND ${ROOT}${top}/ OUTPUT_VARIABLE patterns)
  file(GLOB_RECURSE found RELATIVE ${ROOT} ${patterns})
  list(APPEND files ${found})
  list(APPEND read ${ROOT}${top})
  file(GLOB_RECURSE entries LIST_DIRECTORIES true ${ROOT}${top}/*)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${entry})
      list(APPEND read ${entry})
    endif()
  endforeach()
endforeach()

set(problems "")
foreach(file IN LISTS files)
  list(APPEND read ${ROOT}${file})
  get_filename_component(folder "${file}" DIRECTORY)
  if(NOT folder IN_LIST room_names)
    if(NOT folder)
      set(folder ".")
    endif()
    list(APPEND problems "${folder}/: a folder of sources that is no room: give it a line in tools/check-layers.cmake or move its files")
    continue()
  endif()
  file(STRINGS ${ROOT}${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "[<\"][^>\"]*[>\"]" written "${line}")
    string(REGEX REPLACE "^.(.*).$" "\\1" target "${written}")
    # Both where the compiler looks first, beside the file, and from the
    # top, where every include of the tree is meant to be found.
    foreach(base "${ROOT}${folder}" "${ROOT}")
      cmake_path(ABSOLUTE_PATH target BASE_DIRECTORY "${base}" NORMALIZE OUTPUT_VARIABLE path)
      cmake_path(RELATIVE_PATH path BASE_DIRECTORY "${ROOT}")
      place_of("${path}" place)
      in_reach(${folder} "${place}" "${path}" allowed)
      if(place IN_LIST unchecked)
        list(APPEND problems "${file}: #include ${written} lands in ${place}/: the program is built without its tests, benches and tools")
        break()
      elseif(place AND NOT allowed)
        list(APPEND problems "${file}: #include ${written} lands in ${place}/, out of ${folder}/'s reach: ${why_${folder}}")
        break()
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(REMOVE_DUPLICATES problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "the rooms' one-way rules are broken:\n  ${text}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
  if(DEPFILE)
    list(TRANSFORM read REPLACE "([ #])" "\\\\\\1")
    list(TRANSFORM read REPLACE "[$]" "$$")
    list(JOIN read " \\\n  " deps)
    file(WRITE ${DEPFILE} "${STAMP}: \\\n  ${deps}\n")
  endif()
endif()
