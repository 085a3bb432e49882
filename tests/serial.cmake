# Serial port component: packet assembly, the port on pseudo-terminals, event delivery.
tessera_add_test(test_serial_packet SOURCES test_serial_packet.cpp LIBS tessera_serial)
tessera_add_test(test_serial_port SOURCES test_serial_port.cpp LIBS tessera_serial)
tessera_add_test(test_serial_events SOURCES test_serial_events.cpp LIBS tessera_serial)
if(TESSERA_SANITIZER STREQUAL "thread")
  set_property(TEST test_serial_packet test_serial_port test_serial_events APPEND PROPERTY
      ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/test_serial_tsan.supp")
endif()
