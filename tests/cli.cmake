# tessera-cli: the real program against the virtual instrument on pseudo-terminals and against
# a Modbus server no one here wrote (libmodbus); its configuration file on its own.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CLI_LIBMODBUS REQUIRED IMPORTED_TARGET libmodbus)
tessera_add_test(test_cli SOURCES test_cli.cpp LIBS tessera_cli tessera_sim PkgConfig::CLI_LIBMODBUS
                 TIMEOUT 120)
target_compile_definitions(test_cli PRIVATE TESSERA_CLI_PROGRAM="$<TARGET_FILE:tessera-cli>")
add_dependencies(test_cli tessera-cli)

# The serial ports as the command-line tool lists them, from a fake /sys and /dev.
tessera_add_test(test_port_details SOURCES test_port_details.cpp LIBS tessera_serial_backend)
