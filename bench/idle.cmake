# Start-up time and peak memory of the real binary, and the program's CPU time while idle,
# polling slowly, or with unread input; run by hand, prints its figures.
add_executable(idle_bench idle_bench.cpp)
target_link_libraries(idle_bench PRIVATE tessera_app tessera_sim)
set_target_properties(idle_bench PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
target_compile_definitions(idle_bench PRIVATE TESSERA_BINARY="$<TARGET_FILE:tessera>")
add_dependencies(idle_bench tessera)
