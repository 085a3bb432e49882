# Serial port component: packet assembly, the port on pseudo-terminals, event delivery.
tessera_add_test(test_serial_packet SOURCES test_serial_packet.cpp LIBS tessera_serial)
tessera_add_test(test_serial_port SOURCES test_serial_port.cpp LIBS tessera_serial)
tessera_add_test(test_serial_events SOURCES test_serial_events.cpp LIBS tessera_serial)
