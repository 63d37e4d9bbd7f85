# The module driver on the simulated bench: register accesses and time outside
# the settle waits of its long operations.
if(TARGET carrik_32 AND TARGET ortav_driver)
  ortav_add_benchmark(bench_ortav_driver SOURCES ortav_driver_bench.cpp
                      LIBS ortav_driver carrik_32 ortav_bench ortav_clock)
  # Count the driver's register accesses on their way to the carrier library.
  target_link_options(bench_ortav_driver PRIVATE
                      -Wl,--wrap=carrik_m_in16 -Wl,--wrap=carrik_m_out16)
endif()
