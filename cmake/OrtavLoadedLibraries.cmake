# ortav_builds_loaded_libraries(TARGET [LIBS lib...])
# The program loads the VISA library, the carrier driver, ortav_math and the
# multimeter drivers by name at run time, so nothing links them: a target that
# runs the program has them built first. Without LIBS: all of them that exist.
set(ORTAV_LOADED_LIBRARIES
    ortav_simvisa carrik_32 ortav_math hpe1412_32 hp3458a mervd sulvat tarnel_32)

function(ortav_builds_loaded_libraries target)
  cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
  if(NOT L_LIBS)
    set(L_LIBS ${ORTAV_LOADED_LIBRARIES})
  endif()
  foreach(lib ${L_LIBS})
    if(TARGET ${lib})
      add_dependencies(${target} ${lib})
    endif()
  endforeach()
endfunction()
