# Warnings every target of ours builds with.
add_library(asmpic_warnings INTERFACE)
add_library(asmpic::warnings ALIAS asmpic_warnings)
target_compile_options(asmpic_warnings INTERFACE -Wall -Wextra)

# asmpic_add_test(NAME SOURCES ... LIBS ... LABELS ... [GUI])
# One GoogleTest binary per area; every test case is registered with ctest on its own, or, with
# ASMPIC_TEST_SHARDS=N, each binary runs as N ctest tests that split its cases between them.
set(ASMPIC_TEST_SHARDS 0 CACHE STRING "Run each test binary as this many shards instead of one ctest test per case (0)")
# GUI tests run on Qt's offscreen platform.
function(asmpic_add_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock asmpic::warnings)
  if(ARG_GUI)
    # GUI suites bring their own main(), which makes the QApplication.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    ASMPIC_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures"
    ASMPIC_ASSETS="${PROJECT_SOURCE_DIR}/assets"
    ASMPIC_TEST_DATA_HOME="${PROJECT_BINARY_DIR}/test-data-home")
  # XDG_DATA_HOME keeps every run's history out of the user's own data folder.
  set(env "ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1"
          "XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-data-home"
          "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp")
  if(ARG_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ASMPIC_TEST_SHARDS GREATER 0)
    # A few processes per binary, each running its share of the cases: where starting a process is
    # dear (under the sanitizers, under an emulator) this saves most of the suite's time.
    math(EXPR last "${ASMPIC_TEST_SHARDS} - 1")
    foreach(shard RANGE ${last})
      add_test(NAME ${name}_shard${shard} COMMAND ${name})
      set_tests_properties(${name}_shard${shard} PROPERTIES
        LABELS "${ARG_LABELS}" TIMEOUT 1800
        ENVIRONMENT "${env};GTEST_TOTAL_SHARDS=${ASMPIC_TEST_SHARDS};GTEST_SHARD_INDEX=${shard}")
    endforeach()
  else()
    # gtest_discover_tests passes its properties on as one list, which splits a list-valued
    # ENVIRONMENT: every variable after the first was lost (and the TIMEOUT after it). The GUI
    # tests' main() sets the platform and the data folder itself; ASan's options go here alone.
    list(GET env 0 asan_options)
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300 ENVIRONMENT "${asan_options}")
  endif()
endfunction()
