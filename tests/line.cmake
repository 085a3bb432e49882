# The line window: its table's model on its own, and the window against a virtual bus with
# the main window on the same line.
tessera_add_test(test_line_model SOURCES test_line_model.cpp LIBS tessera_line)
tessera_add_test(test_line_window SOURCES test_line_window.cpp support/AppHarness.h
                 LIBS tessera_app tessera_line tessera_sim TIMEOUT 300 LABELS threaded)
