# Calibration and verification through the front panel on the simulated bench:
# time outside the mandated waits, and memory over consecutive runs.
if(TARGET ortav_calib AND TARGET ortav_bench)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  ortav_add_benchmark(bench_calib SOURCES calib_bench.cpp
                      LIBS ortav_calib ortav_app ortav_msgp ortav_bench Qt6::Test)
  target_include_directories(bench_calib PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  ortav_builds_loaded_libraries(bench_calib)
endif()
if(TARGET bench_calib)
  # Time the disk syncs of the protocol and the results apart.
  target_link_options(bench_calib PRIVATE -Wl,--wrap=fdatasync -Wl,--wrap=fsync)
endif()
