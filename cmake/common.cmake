# Compiler settings and helpers shared by every build tree:
#   native  Linux g++         portable core, unit tests, Linux-side tools
#   asan    Linux clang       the same with AddressSanitizer/UBSan (and fuzzers)
#   win32   i686 mingw-w64    the shipped client, run under Wine
#   win64   x86_64 mingw-w64  built and unit-tested so the code stays clean on both

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

if(QEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# GoogleTest from Debian's sources, built with this tree's compiler.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(NOT TARGET gtest)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
if(WIN32)
  # Debian's googletest sources need the posix threads of the -posix compilers.
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gmock PRIVATE -w)
endif()

# Windows programs run under this tree's private Wine prefix.
if(WIN32)
  set(QEX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-tree.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY)
  file(CHMOD ${CMAKE_BINARY_DIR}/wine-run.sh PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
  # Every test that runs programs in the tree's prefix takes this lock.
  set(QEX_WINE_DESKTOP_LOCK ${QEX_TREE}.desktop)
endif()

include(CTest)

# qex_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [RESOURCE_LOCK ...])
# One GoogleTest program, registered as one test named <tree>.<name>. Windows
# programs run through the tree's Wine wrapper (CROSSCOMPILING_EMULATOR).
function(qex_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  if(WIN32)
    set_target_properties(${name} PROPERTIES SUFFIX ".exe")
  endif()
  add_test(NAME ${QEX_TREE}.${name} COMMAND ${name} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(labels ${QEX_TREE} ${T_LABELS})
  if(WIN32)
    list(APPEND labels wine)
    # The Wine wrapper answers 77 where this machine cannot run the tree's
    # programs (32-bit ones on a kernel without ia32 emulation).
    set_tests_properties(${QEX_TREE}.${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
  set_tests_properties(${QEX_TREE}.${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}")
  set(locks ${T_RESOURCE_LOCK})
  if(WIN32)
    # Windows programs of one tree share one Wine prefix and desktop: a
    # dialog that takes the foreground in one test would take the keys that
    # another test sends to the client. They take turns (QEX_WINE_DESKTOP_LOCK).
    list(APPEND locks ${QEX_WINE_DESKTOP_LOCK})
  endif()
  if(locks)
    set_tests_properties(${QEX_TREE}.${name} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()

# Adds <dir> when it has a CMakeLists.txt, so subsystems can land one by one.
macro(qex_add_optional_subdirectory dir)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endmacro()
