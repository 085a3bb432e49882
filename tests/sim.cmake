# The virtual instrument: its answers without a line, its behaviour on a pseudo-terminal, and
# Modbus masters no one here wrote (libmodbus, mbpoll) against it.
tessera_add_test(test_sim_answers SOURCES test_sim_answers.cpp LIBS tessera_sim TIMEOUT 60)
tessera_add_test(test_sim_line SOURCES test_sim_line.cpp LIBS tessera_sim TIMEOUT 120)

find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMODBUS REQUIRED IMPORTED_TARGET libmodbus)
tessera_add_test(test_sim_interop SOURCES test_sim_interop.cpp LIBS tessera_sim PkgConfig::LIBMODBUS TIMEOUT 180)
target_compile_definitions(test_sim_interop PRIVATE TESSERA_SIM_PROGRAM="$<TARGET_FILE:tessera-sim>")
add_dependencies(test_sim_interop tessera-sim)

# Several instruments on one line, against the line, libmodbus and the tessera-sim program.
tessera_add_test(test_sim_bus SOURCES test_sim_bus.cpp LIBS tessera_sim PkgConfig::LIBMODBUS
                 TIMEOUT 180 LABELS threaded)
target_compile_definitions(test_sim_bus PRIVATE TESSERA_SIM_PROGRAM="$<TARGET_FILE:tessera-sim>"
                                                TESSERA_VERSION="${PROJECT_VERSION}")
add_dependencies(test_sim_bus tessera-sim)
