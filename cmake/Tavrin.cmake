# House functions: every library and test gets the same standard, warnings and links.

function(tavrin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# What a first build (./run.sh on a fresh clone) spends its time on is the compiler reading the
# same Qt and standard headers in every source. Each target on the framework reads them once,
# from the header tavrin_platform precompiles: the same flags and definitions everywhere, since
# every other target links tavrin_platform, whose Qt modules are public. Nothing else changes:
# the sources include what they use as before, and a compiler that finds the precompiled header
# unusable reads the headers themselves (-Winvalid-pch says so). The list is what the sources
# include most; a header that is not in it costs only its own reading.
set(TAVRIN_COMMON_HEADERS
    <algorithm> <functional> <map> <memory> <optional> <vector>
    <QAction> <QApplication> <QCheckBox> <QComboBox> <QDate> <QDateTime> <QDialog> <QDir>
    <QFile> <QFileInfo> <QHBoxLayout> <QHash> <QLabel> <QLineEdit> <QList> <QMap> <QObject>
    <QPointer> <QPushButton> <QRegularExpression> <QSet> <QSqlDatabase> <QSqlError> <QSqlQuery>
    <QSqlRecord> <QString> <QStringList> <QTableView> <QToolBar> <QVBoxLayout> <QVariant>
    <QWidget>)

function(tavrin_common_headers target)
  if(target STREQUAL "tavrin_platform")
    target_precompile_headers(${target} PRIVATE ${TAVRIN_COMMON_HEADERS})
  else()
    target_precompile_headers(${target} REUSE_FROM tavrin_platform)
  endif()
endfunction()

# tavrin_add_library(<folder> [LIBS ...]): one static library per top-level folder, built
# from every source in the folder. Includes are written from the project root
# ("platform/inifile.h").
function(tavrin_add_library folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(tavrin_${folder} STATIC ${_sources})
  target_include_directories(tavrin_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tavrin_${folder} PUBLIC ${ARG_LIBS})
  tavrin_warnings(tavrin_${folder})
  # The workbook library stands on Qt's core alone.
  if(NOT folder STREQUAL "xls")
    tavrin_common_headers(tavrin_${folder})
  endif()
endfunction()

# tavrin_test_cost(<test>): the test's COST from TAVRIN_TEST_COSTS ("<test>=<seconds>" items,
# tests/CMakeLists.txt), when it has one: CTest starts the costliest ready test first.
function(tavrin_test_cost name)
  foreach(_cost ${TAVRIN_TEST_COSTS})
    if(_cost MATCHES "^${name}=([0-9]+)$")
      set_tests_properties(${name} PROPERTIES COST ${CMAKE_MATCH_1})
    endif()
  endforeach()
endfunction()

# tavrin_add_test(<name> SOURCES ... [LIBS ...] [NO_DB]): one GoogleTest executable, run by
# CTest offscreen. Unless NO_DB, it waits for the template database of the run. With a count for
# it in TAVRIN_TEST_SHARDS ("<name>=<n>" items, tests/CMakeLists.txt), CTest runs it as n
# entries <name>_<k>of<n> (GoogleTest's shards: each runs every n-th test), side by side under
# ctest -j: a long executable no longer ends the run alone.
#
# A test named in TAVRIN_SERVER_TESTS (tests/CMakeLists.txt), by its folder ("shell") or its
# folder and file ("platform/concurrency" for tests/platform/concurrency_test.cpp), whose
# source uses the database fixture (TestDatabase, ProgramDatabase, testServer, or the program
# as started, RunningProgram), itself or
# through a fixture header of the test folders it includes ("tests/gradeentry/gradewindows.h"),
# runs a second time, as <name>_server, against the private Firebird server of the run: the
# fixture then puts its database copies on that server (tests/support/testdb.h).
function(tavrin_add_test name)
  cmake_parse_arguments(ARG "NO_DB" "" "SOURCES;LIBS" ${ARGN})
  set(ARG_SHARDS 1)
  foreach(_shards ${TAVRIN_TEST_SHARDS})
    if(_shards MATCHES "^${name}=([0-9]+)$")
      set(ARG_SHARDS ${CMAKE_MATCH_1})
    endif()
  endforeach()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tavrin_testsupport ${ARG_LIBS})
  tavrin_warnings(${name})
  tavrin_common_headers(${name})
  # The entries: the executable whole, or each of its shards.
  set(_entries ${name})
  set(_shard_env_${name} "")
  if(ARG_SHARDS GREATER 1)
    set(_entries)
    math(EXPR _last "${ARG_SHARDS} - 1")
    foreach(_i RANGE ${_last})
      math(EXPR _k "${_i} + 1")
      list(APPEND _entries ${name}_${_k}of${ARG_SHARDS})
      set(_shard_env_${name}_${_k}of${ARG_SHARDS}
          ";GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${_i}")
    endforeach()
  endif()
  foreach(_entry ${_entries})
    add_test(NAME ${_entry} COMMAND ${name})
    set_tests_properties(${_entry} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAVRIN_SCREENSHOTS=${CMAKE_BINARY_DIR}/screenshots${_shard_env_${_entry}}"
      TIMEOUT 900)
    tavrin_test_cost(${_entry})
    if(NOT ARG_NO_DB)
      set_tests_properties(${_entry} PROPERTIES FIXTURES_REQUIRED testdb)
    endif()
  endforeach()
  if(ARG_NO_DB)
    return()
  endif()
  list(GET ARG_SOURCES 0 _source)
  get_filename_component(_source ${_source} ABSOLUTE)
  get_filename_component(_folder ${_source} DIRECTORY)
  get_filename_component(_folder ${_folder} NAME)
  get_filename_component(_file ${_source} NAME_WE)
  string(REGEX REPLACE "_test$" "" _file ${_file})
  set(_fixture "TestDatabase|ProgramDatabase|testServer|RunningProgram")
  file(STRINGS ${_source} _uses_db REGEX "${_fixture}")
  file(STRINGS ${_source} _headers REGEX "^#include \"tests/[a-z]+/[^\"]+\\.h\"")
  foreach(_header ${_headers})
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" _header "${_header}")
    if(NOT _uses_db AND NOT _header MATCHES "^tests/support/"
       AND EXISTS ${PROJECT_SOURCE_DIR}/${_header})
      file(STRINGS ${PROJECT_SOURCE_DIR}/${_header} _uses_db REGEX "${_fixture}")
    endif()
  endforeach()
  if(_uses_db AND (_folder IN_LIST TAVRIN_SERVER_TESTS
                   OR "${_folder}/${_file}" IN_LIST TAVRIN_SERVER_TESTS))
    foreach(_entry ${_entries})
      add_test(NAME ${_entry}_server COMMAND ${name})
      set_tests_properties(${_entry}_server PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAVRIN_TEST_SERVER=${TAVRIN_TEST_SERVER_INSTANCE}${_shard_env_${_entry}}"
        FIXTURES_REQUIRED "testdb;fbserver"
        TIMEOUT 900)
      tavrin_test_cost(${_entry}_server)
    endforeach()
  endif()
endfunction()

# Every tests/<folder>/<x>_test.cpp becomes the executable test_<folder>_<x>, linked with
# tavrin_<folder>. A folder with special needs keeps its own CMakeLists.txt instead.
function(tavrin_add_folder_tests folder)
  cmake_parse_arguments(ARG "NO_DB" "" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  set(_nodb)
  if(ARG_NO_DB)
    set(_nodb NO_DB)
  endif()
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    string(REGEX REPLACE "_test$" "" _n ${_n})
    tavrin_add_test(test_${folder}_${_n} SOURCES ${_t} LIBS tavrin_${folder} ${ARG_LIBS} ${_nodb})
  endforeach()
endfunction()

# tavrin_add_x11_tests(<folder> LIBS ...): every <x>_x11.cpp of the calling test folder becomes
# the program <folder>_<x>, run by CTest as test_<folder>_<x> on a private X server
# (tests/makeup/run_under_xvfb.sh), where xdotool can type into its windows as a person does.
# Skipped where Xvfb or xdotool is missing; screenshots land in the build's screenshots/.
function(tavrin_add_x11_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _x11 CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_x11.cpp)
  foreach(_p ${_x11})
    get_filename_component(_n ${_p} NAME_WE)
    add_executable(${folder}_${_n} ${_p})
    target_link_libraries(${folder}_${_n} PRIVATE tavrin_testsupport ${ARG_LIBS})
    tavrin_warnings(${folder}_${_n})
    tavrin_common_headers(${folder}_${_n})
    add_test(NAME test_${folder}_${_n}
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/makeup/run_under_xvfb.sh
                     $<TARGET_FILE:${folder}_${_n}>)
    set_tests_properties(test_${folder}_${_n} PROPERTIES
      FIXTURES_REQUIRED testdb
      SKIP_RETURN_CODE 77
      TIMEOUT 300
      ENVIRONMENT "TAVRIN_SCREENSHOTS=${CMAKE_BINARY_DIR}/screenshots")
  endforeach()
endfunction()
