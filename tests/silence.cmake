# Modbus RTU's silence between an answer and the next request, on a pty by time stamps.
tessera_add_test(test_modbus_silence SOURCES test_modbus_silence.cpp support/AppHarness.h LIBS tessera_app tessera_sim LABELS threaded)
