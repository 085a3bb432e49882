tessera_add_test(test_help SOURCES test_help.cpp support/AppHarness.h LIBS tessera_app tessera_sim)
