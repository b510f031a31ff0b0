# Installs the build into a fresh DESTDIR, once through `cmake --install`
# with the prefix the build was configured with and once through
# `make install` with a prefix of its own, and checks that the program and
# its manual page land where a user looks for them.
#   -DSOURCE_DIR=... -DBUILD_DIR=... -DPREFIX=... -DWORK_DIR=...
cmake_minimum_required(VERSION 3.25)

function(expect_installed root prefix)
  set(program "${root}${prefix}/bin/potclock")
  set(page "${root}${prefix}/share/man/man1/potclock.1")
  if(NOT EXISTS "${program}" OR IS_DIRECTORY "${program}")
    message(FATAL_ERROR "no program at ${program}")
  endif()
  execute_process(COMMAND "${program}" --version RESULT_VARIABLE status OUTPUT_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out MATCHES "^potclock ")
    message(FATAL_ERROR "${program} --version: status ${status}, \"${out}\"")
  endif()
  # The examples of the README and the manual page that need no terminal.
  foreach(example IN ITEMS --help -h)
    execute_process(COMMAND "${program}" ${example} RESULT_VARIABLE status OUTPUT_VARIABLE out)
    if(NOT status EQUAL 0 OR NOT out MATCHES "^Usage: potclock")
      message(FATAL_ERROR "${program} ${example}: status ${status}, \"${out}\"")
    endif()
  endforeach()
  # The shipped example as the README runs it, and a built-in structure
  # printed to start one's own from.
  execute_process(COMMAND "${program}" --check "${SOURCE_DIR}/examples/deepstack.toml"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out MATCHES "^Friday deep stack\n" OR NOT err STREQUAL "")
    message(FATAL_ERROR "${program} --check: status ${status}, \"${out}\" \"${err}\"")
  endif()
  execute_process(COMMAND "${program}" --print-structure B RESULT_VARIABLE status OUTPUT_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out MATCHES "blinds = \\[15000, 30000\\]")
    message(FATAL_ERROR "${program} --print-structure B: status ${status}, \"${out}\"")
  endif()
  if(NOT EXISTS "${page}")
    message(FATAL_ERROR "no manual page at ${page}")
  endif()
  file(READ "${page}" installed)
  file(READ "${SOURCE_DIR}/potclock.1" original)
  if(NOT installed STREQUAL original)
    message(FATAL_ERROR "${page} differs from potclock.1")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")

set(root "${WORK_DIR}/cmake-install")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${root}" ${CMAKE_COMMAND} --install "${BUILD_DIR}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
expect_installed("${root}" "${PREFIX}")

find_program(MAKE make)
if(MAKE)
  set(root "${WORK_DIR}/make-install")
  execute_process(
    # -o deps: the build is there already; only the install step is tested.
    COMMAND "${MAKE}" -s -o deps -C "${SOURCE_DIR}" install "BUILD=${BUILD_DIR}" "DESTDIR=${root}"
            PREFIX=/opt/potclock
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "make install failed: ${status}")
  endif()
  expect_installed("${root}" /opt/potclock)
  # As the README says: stripped, its debugging information left in the build.
  file(SIZE "${root}/opt/potclock/bin/potclock" installed_size)
  file(SIZE "${BUILD_DIR}/potclock" built_size)
  if(NOT installed_size LESS built_size)
    message(FATAL_ERROR "make install did not strip the program: ${installed_size} bytes")
  endif()
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
