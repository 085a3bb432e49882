# The virtual instrument: its answers without a line, its behaviour on a pseudo-terminal, and
# Modbus masters no one here wrote (libmodbus, mbpoll) against it.
tessera_add_test(test_sim_answers SOURCES test_sim_answers.cpp LIBS tessera_sim TIMEOUT 60)
tessera_add_test(test_sim_line SOURCES test_sim_line.cpp LIBS tessera_sim TIMEOUT 120)
