# Compiler settings and helpers shared by every build tree:
#   native  Linux g++         portable core, unit tests, Linux-side tools
#   asan    Linux clang       the same with AddressSanitizer/UBSan (and fuzzers)
#   win32   i686 mingw-w64    the shipped client, run under Wine
#   win64   x86_64 mingw-w64  the client and what runs differently on 64-bit

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

if(NOT QEX_TREE)
  if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(QEX_TREE win64)
    else()
      set(QEX_TREE win32)
    endif()
  elseif(QEX_SANITIZE)
    set(QEX_TREE asan)
  else()
    set(QEX_TREE native)
  endif()
endif()
set(QEX_TREE "${QEX_TREE}" CACHE STRING "name of this build tree, prefixed to test names")

# Programs and DLLs of a tree land side by side in <tree>/bin, as they are
# installed: the client finds mtoken_gm3000.dll and the digest module there.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

add_compile_options(-Wall -Wextra)

# The system's texts are code page 936 bytes. Sources are UTF-8; g++ re-encodes
# narrow literals. clang 14 only knows UTF-8 as execution character set, so the
# sanitizer tree keeps UTF-8 literals: tests that care about exact bytes write
# them as escapes, or compare against the same named texts.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-finput-charset=UTF-8 -fexec-charset=GBK)
  set(QEX_GBK_LITERALS ON)
else()
  add_compile_definitions(QEX_UTF8_LITERALS=1)
  set(QEX_GBK_LITERALS OFF)
endif()

if(WIN32)
  add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)
  # No mingw runtime DLLs next to our binaries: everything linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
endif()

# qex_split_debug(<target>): in the mingw trees, the debug information of a
# program or library we ship goes to <file>.debug beside it (named in the
# file, so debuggers find it). Under Wine every section of a PE image,
# the debug ones included, is read into memory when it loads: the client's
# debug sections alone cost some 8 MB of resident memory, and the digest
# module's made each load several milliseconds slower.
function(qex_split_debug target)
  if(NOT WIN32 OR MSVC OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
            $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

if(QEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# What each tree builds and runs. A tree builds what it ships and what its
# tests run; a test whose code runs the same in another tree runs there.
#   native  the portable logic and its tests, the Linux simulators and
#           theirs (the simulators are tested here only: label sim), the
#           tests of the test scripts, the benchmarks
#   asan    the portable logic's tests and the fuzzers under AddressSanitizer
#           and UBSan; the seal service simulator only as the peer of the
#           SOAP client's tests
#   win32   the shipped client, control and installer; the portable logic's
#           tests again under Windows' 32-bit runtime, the Windows adapters'
#           tests, the client end to end under Wine; the Windows benchmarks
#   win64   what runs differently with 64-bit pointers and handles: the
#           Windows adapters (dialog procedures, SOCKET, the tray record,
#           the SKF imports, the digest module loader), the control's
#           registration and hosting, the gSOAP runtime on Winsock, the
#           shipped binaries as files, and the client end to end. The
#           portable logic's tests join them only where the win32 tree's
#           programs cannot run (a kernel without ia32 emulation, see
#           scripts/wine-arch.sh): there this is the one Windows tree that
#           runs programs.
set(QEX_SIM_TESTS OFF)
set(QEX_TOOL_TESTS OFF)
set(QEX_PORTABLE_TESTS ON)
set(QEX_BENCHES OFF)
if(QEX_TREE STREQUAL native)
  set(QEX_SIM_TESTS ON)
  set(QEX_TOOL_TESTS ON)
  set(QEX_BENCHES ON)
elseif(QEX_TREE STREQUAL win32)
  set(QEX_BENCHES ON)
elseif(QEX_TREE STREQUAL win64)
  execute_process(COMMAND bash -c "source \"$0\" && echo \"$QEX_WINE_32BIT\""
                          ${CMAKE_SOURCE_DIR}/scripts/wine-arch.sh
                  OUTPUT_VARIABLE qex_wine_32bit OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(qex_wine_32bit STREQUAL 1)
    set(QEX_PORTABLE_TESTS OFF)
  endif()
endif()
message(STATUS "QEXTivara ${QEX_TREE}: portable tests ${QEX_PORTABLE_TESTS}, simulator tests ${QEX_SIM_TESTS}, "
               "benchmarks ${QEX_BENCHES}")

# GoogleTest. The Linux trees link Debian's prebuilt libraries (libgtest-dev,
# libgmock-dev); the Windows trees need it compiled by their own mingw
# compiler, which Debian ships as sources only (googletest). FetchContent
# does both with one declaration: FIND_PACKAGE_ARGS makes it try
# find_package(GTest) first, which in a Windows tree looks only under the
# mingw root (CMAKE_FIND_ROOT_PATH) and finds nothing there, and then it
# builds the sources as part of the tree. Nothing is downloaded. Other
# sources: -DQEX_GOOGLETEST_SOURCE_DIR=...; sources in every tree:
# -DFETCHCONTENT_TRY_FIND_PACKAGE_MODE=NEVER.
set(QEX_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, for trees without a prebuilt GoogleTest (Debian package googletest)")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
include(FetchContent)
FetchContent_Declare(googletest SOURCE_DIR ${QEX_GOOGLETEST_SOURCE_DIR} FIND_PACKAGE_ARGS NAMES GTest)
FetchContent_MakeAvailable(googletest)
foreach(lib gtest gtest_main gmock)
  if(NOT TARGET GTest::${lib})
    message(FATAL_ERROR "GoogleTest: no GTest::${lib} (from find_package(GTest) or ${QEX_GOOGLETEST_SOURCE_DIR})")
  endif()
endforeach()
get_target_property(qex_gtest_built_here GTest::gtest ALIASED_TARGET)
if(qex_gtest_built_here)
  # Third-party code: its warnings are not ours to fix. Test code, compiled
  # without optimisation like our test programs (see cmake/testing.cmake).
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -w -O0)
  endforeach()
  message(STATUS "GoogleTest: built from ${QEX_GOOGLETEST_SOURCE_DIR}")
else()
  message(STATUS "GoogleTest: prebuilt, found by find_package(GTest)")
endif()

# Python for the build's generators and the Wine test scripts: Debian's own
# interpreter first (what apt installs for Python is there; a pyenv or venv
# python3 earlier on PATH may lack it), any python3 otherwise.
find_program(QEX_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(QEX_PYTHON3 NAMES python3 REQUIRED)

# Windows programs run under Wine: <tree>/wine-run.sh runs one in the tree's
# prefix (or the one QEX_WINEPREFIX names), <tree>/wine-sandbox.sh runs a
# test in a sandbox of its own (scripts/wine-sandbox.sh).
if(WIN32)
  set(QEX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  set(QEX_TREE_SCRIPT wine-run.sh)
  configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-tree.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY)
  set(QEX_TREE_SCRIPT wine-sandbox.sh)
  configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-tree.sh.in ${CMAKE_BINARY_DIR}/wine-sandbox.sh @ONLY)
  file(CHMOD ${CMAKE_BINARY_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-sandbox.sh
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

include(CTest)
include(${CMAKE_CURRENT_LIST_DIR}/testing.cmake)
