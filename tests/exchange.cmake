tessera_add_test(test_frames SOURCES test_frames.cpp LIBS tessera_app)
tessera_add_test(test_exchange SOURCES test_exchange.cpp AppHarness.h LIBS tessera_app tessera_sim TIMEOUT 600)
