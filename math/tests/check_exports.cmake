# cmake -DNM=nm -DLIB=libortav_math.so -P check_exports.cmake
# Passes when the library defines exactly the five functions as dynamic
# symbols and nothing else (no data, no runtime, no C++ names).
set(expected
  ortavMath_ItoN ortavMath_RtoN ortavMath_countR
  ortavMath_povCheckValueAbs ortavMath_povCheckValueProc)

execute_process(COMMAND ${NM} -D --defined-only ${LIB}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIB}: ${err}")
endif()

set(functions)
set(others)
string(REPLACE "\n" ";" lines "${out}")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) (.+)$")
    set(type ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    string(REGEX REPLACE "@.*$" "" name "${name}")
    if(type STREQUAL "T")
      list(APPEND functions ${name})
    else()
      list(APPEND others "${type} ${name}")
    endif()
  endif()
endforeach()
list(SORT functions)

if(NOT functions STREQUAL expected)
  message(FATAL_ERROR "exported functions: [${functions}]\nexpected: [${expected}]")
endif()
if(others)
  message(FATAL_ERROR "other defined dynamic symbols: [${others}]")
endif()
message(STATUS "exports: ${functions}")
