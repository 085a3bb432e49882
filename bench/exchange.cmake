# Continuous reading: the program (main window offscreen, exchange thread, serial port) against
# a libmodbus loop, both on the virtual instrument's pty; run by hand, prints its figures.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMODBUS REQUIRED IMPORTED_TARGET libmodbus)
add_executable(exchange_bench exchange_bench.cpp)
target_link_libraries(exchange_bench PRIVATE tessera_app tessera_sim PkgConfig::LIBMODBUS)
set_target_properties(exchange_bench PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
# Every write() of the program and of the instrument is time-stamped in the benchmark itself
# (see the file's head), so the code under measurement stays as shipped.
target_link_options(exchange_bench PRIVATE "LINKER:--wrap=write")
# --monitor runs the virtual instrument as a program of its own.
target_compile_definitions(exchange_bench PRIVATE TESSERA_SIM_BINARY="$<TARGET_FILE:tessera-sim>")
add_dependencies(exchange_bench tessera-sim)
