tessera_add_test(test_frames SOURCES test_frames.cpp LIBS tessera_app)
tessera_add_test(test_exchange SOURCES test_exchange.cpp support/AppHarness.h LIBS tessera_app tessera_sim TIMEOUT 600)
tessera_add_test(test_polling_state SOURCES test_polling_state.cpp support/AppHarness.h LIBS tessera_app tessera_sim TIMEOUT 300)

# The README's screenshots (run by hand under xvfb-run; not a test).
add_executable(tessera_screens screens.cpp)
target_link_libraries(tessera_screens PRIVATE tessera_app tessera_sim Qt6::Test)
set_target_properties(tessera_screens PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
tessera_add_test(test_line_faults SOURCES test_line_faults.cpp support/AppHarness.h LIBS tessera_app tessera_sim LABELS threaded)
tessera_add_test(test_convert SOURCES test_convert.cpp LIBS tessera_app)
tessera_add_test(test_answer_log SOURCES test_answer_log.cpp LIBS tessera_app)
