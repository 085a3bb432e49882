tessera_add_test(test_mainwindow SOURCES test_mainwindow.cpp support/AppHarness.h LIBS tessera_app tessera_sim TIMEOUT 600)
