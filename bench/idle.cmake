# Start-up time, peak memory and idle CPU of the real binary against one empty Qt Widgets
# window (minimal_window), each a process of its own; run by hand, prints one line per figure.
add_executable(minimal_window minimal_window.cpp)
target_link_libraries(minimal_window PRIVATE Qt6::Widgets)
add_executable(idle_bench idle_bench.cpp Probes.cpp)
target_link_libraries(idle_bench PRIVATE tessera_sim)
target_compile_definitions(idle_bench PRIVATE TESSERA_BINARY="$<TARGET_FILE:tessera>"
                                              MINIMAL_WINDOW_BINARY="$<TARGET_FILE:minimal_window>")
add_dependencies(idle_bench tessera minimal_window)
