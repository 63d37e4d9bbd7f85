# cmake -DBUILD_DIR=... -DPREFIX=... -DLIBDIR=lib/... -DSTAMP=ortav_stamp -P check_installed.cmake
# Installs the ortav_math component stripped, then checks the installed file.
file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component ortav_math --strip
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed:\n${out}\n${err}")
endif()
set(lib ${PREFIX}/${LIBDIR}/libortav_math.so)
if(NOT EXISTS ${lib})
  message(FATAL_ERROR "${lib} was not installed:\n${out}")
endif()
execute_process(COMMAND ${STAMP} --check ${lib} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed copy does not check intact:\n${out}\n${err}")
endif()
message(STATUS "${out}")
file(REMOVE_RECURSE ${PREFIX})
