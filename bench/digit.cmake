# The seven-segment digit: paint time and repaint cost per cell (run by hand).
add_executable(digit_bench digit_bench.cpp Probes.cpp)
target_link_libraries(digit_bench PRIVATE tessera_app)
set_target_properties(digit_bench PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
target_link_options(digit_bench PRIVATE
    "LINKER:--export-dynamic-symbol=malloc,--export-dynamic-symbol=calloc"
    "LINKER:--export-dynamic-symbol=realloc")
