tessera_add_test(test_smallscreen SOURCES test_smallscreen.cpp support/AppHarness.h LIBS tessera_app tessera_sim)
