# How tests are registered. Every test is named <tree>.<name> and labelled
# with its tree; further labels say what it needs or covers:
#   wine    runs Windows programs under Wine
#   client  starts the real client (the scripts in tests/wine)
#   sim     tests a simulator (sim/), not the client: `ctest -LE sim` leaves them out
#   fuzz    a bounded libFuzzer run; fuzz-long: the long runs (scripts/fuzz.sh)
#
# A Windows test runs in a sandbox of its own (scripts/wine-sandbox.sh): its
# own network namespace (127.0.0.1:10102), its own copy of the tree's
# template prefix, its own X display. Nothing is shared between two
# Windows tests, so they run side by side without locks; only the template
# prefix comes first, made once per tree by the test <tree>.wine_prefix.
#
# scripts/test.sh builds the trees as tests of the same ctest run
# (<tree>.build), so that one tree's tests run while the next tree builds.
# Every test of a tree waits for its build through the fixture in QEX_BUILT
# (a Windows tree's tests also for the native tree's, whose simulator they
# talk to). Run in a tree's own folder, these fixtures have no setup test and
# change nothing. A test registered with add_test directly takes them too:
#   set_tests_properties(<test> PROPERTIES FIXTURES_REQUIRED "${QEX_BUILT}")
set(QEX_BUILT ${QEX_TREE}.built)
if(WIN32)
  list(APPEND QEX_BUILT native.built)

  # The template prefix: wineboot needs nothing of the build and runs
  # meanwhile; the set-up that registers the tree's programs follows it.
  add_test(NAME ${QEX_TREE}.wine_boot COMMAND ${CMAKE_BINARY_DIR}/wine-sandbox.sh --template-boot)
  set_tests_properties(${QEX_TREE}.wine_boot PROPERTIES
    FIXTURES_SETUP ${QEX_TREE}.wineboot LABELS "${QEX_TREE};wine" TIMEOUT 600 SKIP_RETURN_CODE 77)
  add_test(NAME ${QEX_TREE}.wine_prefix COMMAND ${CMAKE_BINARY_DIR}/wine-sandbox.sh --template)
  set_tests_properties(${QEX_TREE}.wine_prefix PROPERTIES
    FIXTURES_SETUP ${QEX_TREE}.wineprefix FIXTURES_REQUIRED "${QEX_TREE}.wineboot;${QEX_BUILT}"
    LABELS "${QEX_TREE};wine" TIMEOUT 600 SKIP_RETURN_CODE 77)
endif()

# qex_add_wine_test(<name> COMMAND <command...> [LABELS ...] [TIMEOUT s] [RESOURCE_LOCK ...])
# A command that runs Windows programs (through <tree>/wine-run.sh), in a
# sandbox of its own. Exit code 77 means skipped (with the reason printed).
function(qex_add_wine_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND;LABELS;RESOURCE_LOCK" ${ARGN})
  if(NOT T_COMMAND)
    message(FATAL_ERROR "qex_add_wine_test(${name}): no COMMAND")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(test ${QEX_TREE}.${name})
  set(labels ${QEX_TREE} wine ${T_LABELS})
  add_test(NAME ${test} COMMAND ${CMAKE_BINARY_DIR}/wine-sandbox.sh ${test} ${T_COMMAND})
  set_tests_properties(${test} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}"
                       SKIP_RETURN_CODE 77 FIXTURES_REQUIRED "${QEX_TREE}.wineprefix;${QEX_BUILT}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()

# Test programs are compiled without optimisation. What they test is the
# libraries, built with the tree's own flags; their own code only drives
# them, and GoogleTest's templates compile at -O0 in well under half the
# time (the tests' sources are most of what a tree compiles).
function(qex_test_program target)
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU,Clang>:-O0>)
endfunction()

# qex_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [RESOURCE_LOCK ...] [ARGS ...])
# One GoogleTest program, registered as one test named <tree>.<name>.
# Windows programs run under Wine, each in its sandbox.
function(qex_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  qex_test_program(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(WIN32)
    set_target_properties(${name} PROPERTIES SUFFIX ".exe")
    qex_add_wine_test(${name} COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh $<TARGET_FILE:${name}> ${T_ARGS}
                      LABELS ${T_LABELS} TIMEOUT ${T_TIMEOUT} RESOURCE_LOCK ${T_RESOURCE_LOCK})
    return()
  endif()
  set(test ${QEX_TREE}.${name})
  set(labels ${QEX_TREE} ${T_LABELS})
  add_test(NAME ${test} COMMAND ${name} ${T_ARGS})
  set_tests_properties(${test} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}"
                       FIXTURES_REQUIRED "${QEX_BUILT}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()

# qex_add_wine_script(<script> [NAME <name>] [LABELS ...] [TIMEOUT s])
# A Python script of tests/wine/harness.py: each case it lists (--list) is a
# test of its own, <tree>.<name>.<case> (name: wine_ plus the script's name
# without test_), run by the script with that case alone. A script that
# lists nothing or cannot list stops the configure.
function(qex_add_wine_script script)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "LABELS" ${ARGN})
  get_filename_component(script ${script} ABSOLUTE)
  if(NOT T_NAME)
    get_filename_component(T_NAME ${script} NAME_WE)
    string(REGEX REPLACE "^test_" "wine_" T_NAME ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  execute_process(COMMAND ${QEX_PYTHON3} -B ${script} --list
                  RESULT_VARIABLE rc OUTPUT_VARIABLE cases ERROR_VARIABLE err)
  string(STRIP "${cases}" cases)
  if(NOT rc EQUAL 0 OR cases STREQUAL "")
    message(FATAL_ERROR "${script} --list gave no cases (exit ${rc}):\n${cases}\n${err}")
  endif()
  string(REPLACE "\n" ";" cases "${cases}")
  foreach(case IN LISTS cases)
    qex_add_wine_test(${T_NAME}.${case}
      COMMAND ${QEX_PYTHON3} -B ${script} --tree ${CMAKE_BINARY_DIR} ${case}
      LABELS ${T_LABELS} TIMEOUT ${T_TIMEOUT})
  endforeach()
  # A case added to the script is a new test: configure again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
endfunction()
