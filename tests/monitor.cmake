tessera_add_test(test_frame_monitor SOURCES test_frame_monitor.cpp support/AppHarness.h
                 LIBS tessera_app tessera_sim LABELS threaded)
