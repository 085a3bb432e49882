# The main thread's longest stall while polling through line faults; run by hand.
add_executable(stall_bench stall_bench.cpp)
target_link_libraries(stall_bench PRIVATE tessera_app tessera_sim)
set_target_properties(stall_bench PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
