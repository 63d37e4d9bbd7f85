# ortav_add_gtest(NAME SOURCES src... [LIBS lib...] [LABELS l...])
# One GoogleTest executable registered with CTest, test by test.
if(ORTAV_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Every test runs under a user's locale that writes numbers with a decimal
# comma (Qt adopts it in a GUI program), so that a number written or read
# through the C library's locale shows up as a failure.
set(ORTAV_TEST_LOCALE "LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8")
# The user's data folder (the default results database) of every test is one in
# the build tree, never the home of whoever runs the tests.
string(APPEND ORTAV_TEST_LOCALE ";XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-data")

function(ortav_add_gtest name)
  if(NOT ORTAV_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  # The discovery hands a property's list value on flattened (an environment of
  # several variables would become stray properties), so the labels and the
  # environment are set on the discovered tests by a file of our own, read by
  # CTest after the discovery's.
  set(props "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(WRITE "${props}"
    "foreach(t IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${T_LABELS}\"\n"
    "    ENVIRONMENT \"ORTAV_DRIVER_PATH=${PROJECT_BINARY_DIR}/bin;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/scripts/lsan.supp;QT_QPA_PLATFORM=offscreen;${ORTAV_TEST_LOCALE}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${props}")
endfunction()
