# Register access through the carrier interface on the simulated bench.
if(TARGET carrik_32)
  ortav_add_benchmark(bench_carrik_access SOURCES carrik_access.cpp
                      LIBS carrik_32 ortav_bench ortav_clock ortav_visa_headers)
endif()
