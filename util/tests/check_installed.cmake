# cmake -DBUILD_DIR=... -DPREFIX=... -DLIBDIR=lib/... -DSTAMP=ortav_stamp
#       -DREAL=libortav_math.so.X.Y.Z -DSONAME=libortav_math.so.X -P check_installed.cmake
# Installs the ortav_math component stripped, then checks the installed files:
# the library a real file, stamped after strip, with its soname link and the
# link for linking pointing at it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component ortav_math --strip
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed:\n${out}\n${err}")
endif()
set(dir ${PREFIX}/${LIBDIR})
set(lib ${dir}/${REAL})
if(NOT EXISTS ${lib} OR IS_SYMLINK ${lib})
  message(FATAL_ERROR "${lib} was not installed as a file:\n${out}")
endif()
foreach(link ${SONAME} libortav_math.so)
  file(REAL_PATH ${dir}/${link} target)
  if(NOT IS_SYMLINK ${dir}/${link} OR NOT target STREQUAL lib)
    message(FATAL_ERROR "${dir}/${link} is not a link to ${REAL}")
  endif()
endforeach()
file(READ_SYMLINK ${dir}/${SONAME} target)
if(NOT target STREQUAL REAL)
  message(FATAL_ERROR "${SONAME} points at ${target}, not at ${REAL} beside it")
endif()
execute_process(COMMAND ${STAMP} --check ${lib} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed copy does not check intact:\n${out}\n${err}")
endif()
message(STATUS "${out}")
file(REMOVE_RECURSE ${PREFIX})
