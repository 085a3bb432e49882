# Continuous reading: the program (main window, exchange thread, serial port) against libmodbus
# paced by a QTimer in the same process, both on the virtual instrument's pty; run by hand,
# prints one line per figure.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMODBUS REQUIRED IMPORTED_TARGET libmodbus)
add_executable(exchange_bench exchange_bench.cpp Probes.cpp)
target_link_libraries(exchange_bench PRIVATE tessera_app tessera_sim PkgConfig::LIBMODBUS)
set_target_properties(exchange_bench PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
# write() and the allocator are defined in the executable itself (see exchange_bench.cpp and
# Probes.cpp), so the program, Qt and libmodbus all call them; the code under measurement
# stays as shipped.
target_link_options(exchange_bench PRIVATE
    "LINKER:--export-dynamic-symbol=write,--export-dynamic-symbol=malloc"
    "LINKER:--export-dynamic-symbol=calloc,--export-dynamic-symbol=realloc")
