# Registers and raw frames: the Modbus data functions' frames, the value views and the
# instrument's register names on their own.
tessera_add_test(test_register_codec SOURCES test_register_codec.cpp LIBS tessera_protocol)

# tessera-cli regs and raw against libmodbus's server on a pseudo-terminal bridge, and QV
# frames against the virtual instrument.
find_package(PkgConfig REQUIRED)
pkg_check_modules(REGS_LIBMODBUS REQUIRED IMPORTED_TARGET libmodbus)
tessera_add_test(test_regs_cli SOURCES test_regs_cli.cpp
                 LIBS tessera_cli tessera_sim PkgConfig::REGS_LIBMODBUS TIMEOUT 120)
target_compile_definitions(test_regs_cli PRIVATE TESSERA_CLI_PROGRAM="$<TARGET_FILE:tessera-cli>")
add_dependencies(test_regs_cli tessera-cli)

# The window against the virtual instrument, with the main window on the same line.
tessera_add_test(test_registers_window SOURCES test_registers_window.cpp support/AppHarness.h
                 LIBS tessera_app tessera_registers tessera_monitor tessera_sim TIMEOUT 300
                 LABELS threaded)

# The README's picture of the window (run by hand under xvfb-run; not a test).
add_executable(tessera_registers_screen registers_screen.cpp)
target_link_libraries(tessera_registers_screen PRIVATE tessera_app tessera_registers tessera_sim
                                                       Qt6::Test)
set_target_properties(tessera_registers_screen PROPERTIES AUTOUIC_SEARCH_PATHS
                                                          ${PROJECT_SOURCE_DIR}/ui)
