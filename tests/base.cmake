# The hand-over of calls to the main thread.
tessera_add_test(test_synchronize SOURCES test_synchronize.cpp LIBS tessera_base Qt6::Core LABELS threaded)
