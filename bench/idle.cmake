# Start-up time, peak memory and idle CPU of the real binary against one empty Qt Widgets
# window (minimal_window), each a process of its own; run by hand, prints one line per figure.
add_executable(minimal_window minimal_window.cpp)
target_link_libraries(minimal_window PRIVATE tessera_base Qt6::Widgets)
# The program's main form alone (its ui file, the digit control), the floor under its start-up.
add_executable(form_window form_window.cpp ${PROJECT_SOURCE_DIR}/ui/main.ui)
target_link_libraries(form_window PRIVATE tessera_base tessera_controls Qt6::Widgets)
set_target_properties(form_window PROPERTIES AUTOUIC ON
                                             AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
add_executable(idle_bench idle_bench.cpp Probes.cpp)
target_link_libraries(idle_bench PRIVATE tessera_sim)
target_compile_definitions(idle_bench PRIVATE TESSERA_BINARY="$<TARGET_FILE:tessera>"
                                              MINIMAL_WINDOW_BINARY="$<TARGET_FILE:minimal_window>"
                                              FORM_WINDOW_BINARY="$<TARGET_FILE:form_window>")
add_dependencies(idle_bench tessera minimal_window form_window)
