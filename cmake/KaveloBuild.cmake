# How Kavelo's targets are compiled and their tests registered, shared by
# `kavelo_library`, `kavelo_test_binary` and `kavelo_bench`, so that adding a
# folder stays one line.
#
# Precompiled headers: the heavy third-party headers are compiled once per
# flag group and reused by every target of that group. A group's owner is a
# small object library whose usage requirements its members link, so their
# compile flags match the header's (g++ refuses a precompiled header built
# with other macros or -fPIC, and -Winvalid-pch with -Werror says so).
# Qt targets and the rest never share one: logic must not see Qt.
#
# Tests and benchmarks are two thirds of what the normal tree compiles, so
# they take precompiled headers and batches in every tree
# (KAVELO_BATCH_TESTS). The libraries do only where KAVELO_PCH and
# KAVELO_UNITY say: the normal tree compiles the program's files one by one,
# and `kavelo_headers` compiles each header no file of its own includes
# first, so a missing include still fails there.

option(KAVELO_PCH "Precompile the heavy third-party headers for the libraries too" OFF)
option(KAVELO_UNITY "Compile the libraries' files in batches of eight too" OFF)
option(KAVELO_BATCH_TESTS "Precompiled headers and batches of eight for tests and benchmarks" ON)
option(KAVELO_BENCHMARKS "Build the benchmarks" ON)
set(KAVELO_RANDOM_RUNS 100 CACHE STRING "Successful runs each random-sequence property must pass")
set(KAVELO_LONG_RANDOM_RUNS 2000 CACHE STRING "Runs per property in the opt-in long random run")
set(KAVELO_X_SESSIONS 4 CACHE STRING "X11 suites (each with its own Xvfb) that CTest runs side by side")
option(KAVELO_LINE_TABLES "Line tables only (-g1) instead of full debug information" OFF)

set(KAVELO_PCH_STD
  <algorithm> <array> <chrono> <cmath> <cstdint> <filesystem> <functional> <map> <memory>
  <optional> <set> <string> <string_view> <unordered_map> <utility> <variant> <vector>)
set(KAVELO_PCH_QT
  <QApplication> <QColor> <QFontMetricsF> <QHBoxLayout> <QIcon> <QImage> <QLabel> <QLineEdit>
  <QMouseEvent> <QPainter> <QPainterPath> <QPixmap> <QString> <QVBoxLayout> <QWidget>)
set(KAVELO_PCH_TEST <gtest/gtest.h> <gmock/gmock.h> <rapidcheck.h> <rapidcheck/gtest.h>)

set(KAVELO_BUILD_DIR ${CMAKE_CURRENT_LIST_DIR})

# The tests' own code in the optimised tree: the program they test is built
# as shipped, the tests around it at -O1, which compiles in two thirds of the
# time, with line tables only (full debug information is the Debug tree's
# job and costs a third of a test's compile). At -O1 g++ 12 takes an engaged
# std::optional for one that may be empty: its guess stays off in tests.
set(KAVELO_TEST_FLAGS "$<$<CONFIG:RelWithDebInfo>:-g1;-O1;$<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>>")

# Batches: the templates a target's files share (the standard library's,
# GoogleTest's, RapidCheck's, JSON's) are instantiated and compiled once per
# batch instead of once per file, which halves a test's compile. A batch
# whose files clash is built in parts (unity-or-each.sh), at the price of
# the failed attempts: the files of one folder keep their local helpers'
# names apart.
set(KAVELO_BATCH_LAUNCHER ${KAVELO_BUILD_DIR}/unity-or-each.sh ${CMAKE_CXX_COMPILER_LAUNCHER})
if(KAVELO_UNITY)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE 8)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${KAVELO_BATCH_LAUNCHER})
  add_compile_options($<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
endif()

# Batches for one target, whatever the tree does for the rest.
function(kavelo_batch target)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8
    CXX_COMPILER_LAUNCHER "${KAVELO_BATCH_LAUNCHER}")
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
endfunction()

# Whether targets of `kind` (library, test, bench) use precompiled headers.
function(kavelo_pch_for out kind)
  set(on ${KAVELO_PCH})
  if(KAVELO_BATCH_TESTS AND NOT kind STREQUAL "library")
    set(on ON)
  endif()
  set(${out} ${on} PARENT_SCOPE)
endfunction()

# Disk. Line tables keep every stack trace's and sanitizer report's file and
# line but drop what a debugger needs for locals and types: a third of each
# test binary. CI, where nobody attaches a debugger, sets it (scripts/setup.sh).
if(KAVELO_LINE_TABLES)
  add_compile_options(-g1)
endif()

# The sanitizer tree's binaries carry a relocation for each of UBSan's
# million source locations when position-independent: a quarter of each
# binary, and work at every start. Its tests do not need their own address
# randomised.
if(KAVELO_SANITIZE)
  add_link_options(-no-pie)
endif()

# Thin archives list their members instead of copying them: a library costs
# its object files once, not twice.
set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> qcT <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> qT <TARGET> <LINK_FLAGS> <OBJECTS>")

# lld links a test binary in a third of the time ld.bfd takes.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld KAVELO_HAS_LLD)
if(KAVELO_HAS_LLD)
  add_link_options(-fuse-ld=lld)
endif()

# What scripts/test.sh hands CTest so X11 suites share out the sessions.
file(WRITE ${CMAKE_BINARY_DIR}/ctest-resources.json "\
{
  \"version\": {\"major\": 1, \"minor\": 0},
  \"local\": [{\"xsession\": [{\"id\": \"0\", \"slots\": ${KAVELO_X_SESSIONS}}]}]
}
")

# Whether `targets` bring Qt's compile flags: their own links, then what
# those pass on publicly.
function(kavelo_uses_qt out)
  set(queue ${ARGN})
  set(seen)
  set(found OFF)
  while(queue)
    list(POP_FRONT queue item)
    if(item MATCHES "^Qt6::")
      set(found ON)
      break()
    endif()
    if(item MATCHES "^\\$<" OR item IN_LIST seen OR NOT TARGET ${item})
      continue()
    endif()
    list(APPEND seen ${item})
    get_target_property(deps ${item} INTERFACE_LINK_LIBRARIES)
    if(deps)
      list(APPEND queue ${deps})
    endif()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Whether `target` links any of `names` directly.
function(kavelo_links_any out target)
  get_target_property(links ${target} LINK_LIBRARIES)
  set(found OFF)
  foreach(name ${ARGN})
    if(links AND name IN_LIST links)
      set(found ON)
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The owner of a precompiled-header group, made on first use.
function(kavelo_pch_owner owner)
  if(TARGET ${owner})
    return()
  endif()
  set(headers ${KAVELO_PCH_STD} <nlohmann/json.hpp>)
  set(deps nlohmann_json::nlohmann_json)
  set(source ${KAVELO_BUILD_DIR}/empty.cpp)
  if(owner MATCHES "Qt")
    # The first member may be in a folder that has not looked for Qt.
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    list(APPEND headers ${KAVELO_PCH_QT})
    list(APPEND deps Qt6::Widgets)
  endif()
  if(owner MATCHES "Test")
    list(APPEND headers ${KAVELO_PCH_TEST})
    list(APPEND deps GTest::gtest GTest::gmock rapidcheck rapidcheck_gtest)
    # The tests' main is compiled once per group, as the owner's source.
    set(source ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
    set_property(SOURCE ${source} DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
      PROPERTY COMPILE_DEFINITIONS KAVELO_RANDOM_RUNS=${KAVELO_RANDOM_RUNS})
  endif()
  if(owner MATCHES "QtTest")
    list(APPEND headers <QTest>)
    list(APPEND deps Qt6::Test)
  endif()
  add_library(${owner} OBJECT ${source})
  target_link_libraries(${owner} PUBLIC ${deps})
  if(owner MATCHES "Test")
    target_compile_options(${owner} PRIVATE "${KAVELO_TEST_FLAGS}")
  endif()
  # Libraries own the logic and Qt groups; benchmarks only borrow them.
  set(kind library)
  if(owner MATCHES "Test")
    set(kind test)
  elseif(KAVELO_BENCHMARKS)
    set(kind bench)
  endif()
  kavelo_pch_for(pch ${kind})
  if(pch)
    target_precompile_headers(${owner} PRIVATE ${headers})
  endif()
endfunction()

# Joins `target` to its group's precompiled headers once every link of the
# directory is known (a follow-up target_link_libraries may bring Qt).
function(kavelo_join_pch target kind)
  # A deferred call reads its variables when it runs: pass the values.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL kavelo_join_pch_now [[${target}]] [[${kind}]])")
endfunction()

function(kavelo_join_pch_now target kind)
  get_target_property(links ${target} LINK_LIBRARIES)
  kavelo_uses_qt(qt ${links})
  if(kind STREQUAL "test")
    set(owner KaveloTestMain)
    if(qt)
      set(owner KaveloQtTestMain)
    endif()
  else()
    set(owner KaveloPchLogic)
    if(qt)
      set(owner KaveloPchQt)
    endif()
  endif()
  # A library or benchmark only needs its owner for the headers; a test also
  # for its main.
  kavelo_pch_for(pch ${kind})
  if(NOT pch AND NOT kind STREQUAL "test")
    return()
  endif()
  kavelo_pch_owner(${owner})
  target_link_libraries(${target} PRIVATE ${owner})
  if(pch)
    target_precompile_headers(${target} REUSE_FROM ${owner})
  endif()
  if(KAVELO_BATCH_TESTS AND NOT kind STREQUAL "library")
    kavelo_batch(${target})
  endif()
endfunction()

# A test binary's settings, applied once the directory's links are known:
# its group's precompiled headers and main, the tests' own flags, and one
# CTest test per suite.
function(kavelo_test_settings target)
  target_compile_options(${target} PRIVATE "${KAVELO_TEST_FLAGS}")
  kavelo_join_pch(${target} test)
  cmake_language(EVAL CODE "cmake_language(DEFER CALL kavelo_add_suites [[${target}]])")
endfunction()

# One CTest test per GoogleTest suite, named `binary/Suite`: tests of a suite
# share a process, as their fixtures intend (an X11 suite starts its server
# once), while suites still run side by side. The suites are listed after
# each build of the binary; CTest reads the list when it starts.
function(kavelo_add_suites target)
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -D BINARY=$<TARGET_FILE:${target}> -D OUT=${list_file}
      -P ${KAVELO_BUILD_DIR}/KaveloListSuites.cmake
    BYPRODUCTS ${list_file}
    VERBATIM)

  # X11 suites each start an X server, a window manager and clients: at most
  # KAVELO_X_SESSIONS at once (with the resource file scripts/test.sh
  # passes), and first, since they mostly wait.
  set(labels ${target})
  set(properties TIMEOUT \${timeout} SKIP_RETURN_CODE 77)
  kavelo_links_any(x11 ${target} KaveloPlatformX11 KaveloX11Session)
  if(x11)
    list(APPEND labels x11)
    list(APPEND properties RESOURCE_GROUPS xsession:1 COST 1000)
  endif()
  string(JOIN " " properties ${properties} LABELS "\"${labels}\"")
  # Suites that start a heavy program (the target's KAVELO_HEAVY_SUITES, a
  # regular expression of suite names) hold one lock: side by side they
  # only slow each other past their deadlines.
  get_target_property(heavy ${target} KAVELO_HEAVY_SUITES)
  if(NOT heavy)
    set(heavy "^$")
  endif()
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake)
  file(GENERATE OUTPUT ${include_file} CONTENT "\
if(EXISTS \"${list_file}\")
  include(\"${list_file}\")
  set(timeout 600)
  if(DEFINED ENV{KAVELO_SUITE_TIMEOUT})
    set(timeout \$ENV{KAVELO_SUITE_TIMEOUT})
  endif()
  foreach(suite IN LISTS kavelo_suites)
    add_test(\"${target}/\${suite}\" \"$<TARGET_FILE:${target}>\" \"--gtest_filter=\${suite}.*\")
    set_tests_properties(\"${target}/\${suite}\" PROPERTIES WORKING_DIRECTORY \"${CMAKE_CURRENT_BINARY_DIR}\" ${properties})
    if(suite MATCHES \"${heavy}\")
      set_tests_properties(\"${target}/\${suite}\" PROPERTIES RESOURCE_LOCK kavelo_heavy_program)
    endif()
  endforeach()
else()
  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
