# Serial port: event thread idle cost and arrival-to-handler latency (run by hand).
add_executable(serial_bench serial_bench.cpp)
target_link_libraries(serial_bench PRIVATE tessera_serial)
