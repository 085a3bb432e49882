# The scan of a line: its logic over a line with a clock of its own, and the tool's line over
# the virtual bus.
tessera_add_test(test_linescan SOURCES test_linescan.cpp LIBS tessera_linescan tessera_cli tessera_sim
                 TIMEOUT 120 LABELS threaded)
