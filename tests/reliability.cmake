tessera_add_test(test_reliability SOURCES test_reliability.cpp AppHarness.h LIBS tessera_app tessera_sim TIMEOUT 1200)
