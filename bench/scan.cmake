# The scan of a line against the line's own floor, on the virtual bus (run by hand).
add_executable(scan_bench scan_bench.cpp)
target_link_libraries(scan_bench PRIVATE tessera_linescan tessera_cli tessera_sim)
set_target_properties(scan_bench PROPERTIES AUTOMOC OFF AUTOUIC OFF)
