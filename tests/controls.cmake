tessera_add_test(test_digit SOURCES test_digit.cpp LIBS tessera_controls)
