# Instruments behind Ethernet gateways (loopback only): the serial component on tcp:// and
# modbus-tcp:// ports against the virtual instrument behind its gateway, and tessera-cli
# against the virtual gateways, against peers (mbpoll, a libmodbus Modbus TCP server) and
# against servers that misbehave.
tessera_add_test(test_gateway_port SOURCES test_gateway_port.cpp LIBS tessera_serial tessera_sim
                 LABELS threaded TIMEOUT 120)
find_package(PkgConfig REQUIRED)
pkg_check_modules(GATEWAY_LIBMODBUS REQUIRED IMPORTED_TARGET libmodbus)
# Not under ThreadSanitizer, like test_cli: it starts the programs (fork and exec) while the
# virtual gateways' threads run, which that sanitizer refuses; the gateways' threads are
# checked by test_gateway_port.
tessera_add_test(test_gateway_cli SOURCES test_gateway_cli.cpp
                 LIBS tessera_sim PkgConfig::GATEWAY_LIBMODBUS TIMEOUT 120)
target_compile_definitions(test_gateway_cli PRIVATE
    TESSERA_CLI_PROGRAM="$<TARGET_FILE:tessera-cli>" TESSERA_SIM_PROGRAM="$<TARGET_FILE:tessera-sim>")
add_dependencies(test_gateway_cli tessera-cli tessera-sim)
# The window through both virtual gateways: reads and polling, a gateway's no-answer, a
# connection refused, QV refused through Modbus TCP, a gateway remembered, the MBAP header in
# the frames, the line view's scan, a dropped connection.
tessera_add_test(test_gateway_window SOURCES test_gateway_window.cpp support/AppHarness.h
                 LIBS tessera_app tessera_line tessera_sim LABELS threaded TIMEOUT 120)
