# The line window: its table's model on its own, and the window against a virtual bus with
# the main window on the same line.
tessera_add_test(test_line_model SOURCES test_line_model.cpp LIBS tessera_line)
tessera_add_test(test_line_window SOURCES test_line_window.cpp support/AppHarness.h
                 LIBS tessera_app tessera_line tessera_registers tessera_sim TIMEOUT 300 LABELS threaded)

# The README's picture of the window (run by hand under xvfb-run; not a test).
add_executable(tessera_line_screen line_screen.cpp)
target_link_libraries(tessera_line_screen PRIVATE tessera_app tessera_line tessera_sim Qt6::Test)
set_target_properties(tessera_line_screen PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)

# The line's owner: the main window's polling, the registers and the line view on one line.
tessera_add_test(test_line_owner SOURCES test_line_owner.cpp support/AppHarness.h
                 LIBS tessera_app tessera_line tessera_registers tessera_monitor tessera_sim
                 TIMEOUT 300 LABELS threaded)
