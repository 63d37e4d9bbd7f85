# ortav_add_fuzzer(ortav_NAME TEST test SOURCES src... [INCLUDES dir...] [LINK flag...]
#                  [DEPENDS file...] [ARGS arg...])
#
# A libFuzzer target, run bounded as a test. The suite is built with the default
# compiler (g++), which has no libFuzzer, so a fuzzer is compiled with clang++
# directly when one that can link it is installed; otherwise it is left out.
# ARGS bound the run: a fixed seed, a number of runs and a time cap.
include_guard(GLOBAL)

function(ortav_fuzzing_available out)
  if(DEFINED ORTAV_FUZZING_OK)
    set(${out} ${ORTAV_FUZZING_OK} PARENT_SCOPE)
    return()
  endif()
  find_program(ORTAV_CLANGXX NAMES clang++ clang++-14 clang++-15 clang++-16)
  set(ok FALSE)
  if(NOT ORTAV_CLANGXX)
    message(STATUS "fuzzing: no clang++, the fuzz tests are left out")
  else()
    set(probe_dir ${PROJECT_BINARY_DIR}/fuzz_probe)
    file(WRITE ${probe_dir}/probe.cpp
      "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }\n")
    execute_process(
      COMMAND ${ORTAV_CLANGXX} -std=c++20 -fsanitize=fuzzer ${probe_dir}/probe.cpp -o ${probe_dir}/probe
      RESULT_VARIABLE probe_rc OUTPUT_QUIET ERROR_QUIET)
    if(probe_rc EQUAL 0)
      set(ok TRUE)
    else()
      message(STATUS "fuzzing: ${ORTAV_CLANGXX} cannot link libFuzzer, the fuzz tests are left out")
    endif()
  endif()
  set(ORTAV_FUZZING_OK ${ok} CACHE INTERNAL "clang++ can build libFuzzer targets")
  set(${out} ${ok} PARENT_SCOPE)
endfunction()

function(ortav_add_fuzzer name)
  cmake_parse_arguments(F "" "TEST" "SOURCES;INCLUDES;LINK;DEPENDS;ARGS" ${ARGN})
  ortav_fuzzing_available(ok)
  if(NOT ok)
    return()
  endif()
  # The program is named without the project prefix, so as not to clash with the target.
  string(REGEX REPLACE "^ortav_" "" program ${name})
  set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/${program})
  set(includes)
  foreach(dir ${F_INCLUDES})
    list(APPEND includes -I${dir})
  endforeach()
  add_custom_command(OUTPUT ${fuzzer}
    COMMAND ${ORTAV_CLANGXX} -std=c++20 -g -O1 -Wall -Wextra -Werror
            -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all
            ${includes} ${F_SOURCES} ${F_LINK} -o ${fuzzer}
    DEPENDS ${F_SOURCES} ${F_DEPENDS}
    COMMENT "Building ${name} with ${ORTAV_CLANGXX}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${fuzzer})
  add_test(NAME ${F_TEST} COMMAND ${fuzzer} ${F_ARGS})
endfunction()
