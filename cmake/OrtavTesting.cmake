# ortav_add_gtest(NAME SOURCES src... [LIBS lib...] [LABELS l...])
# One GoogleTest executable registered with CTest, test by test.
if(ORTAV_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(ortav_add_gtest name)
  if(NOT ORTAV_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}"
               ENVIRONMENT "ORTAV_DRIVER_PATH=${CMAKE_BINARY_DIR}/bin;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/lsan.supp;QT_QPA_PLATFORM=offscreen")
endfunction()
