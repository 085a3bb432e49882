# The frame monitor's cost: the program's CPU time per exchange with the monitor closed and
# open (history full); the instrument is tessera-sim in a process of its own (run by hand).
add_executable(monitor_bench monitor_bench.cpp)
target_link_libraries(monitor_bench PRIVATE tessera_app)
set_target_properties(monitor_bench PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
target_compile_definitions(monitor_bench PRIVATE TESSERA_SIM_BINARY="$<TARGET_FILE:tessera-sim>")
add_dependencies(monitor_bench tessera-sim)
# write() is defined in the executable (see monitor_bench.cpp) to count the requests.
target_link_options(monitor_bench PRIVATE "LINKER:--export-dynamic-symbol=write")
