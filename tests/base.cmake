# The hand-over of calls to the main thread.
tessera_add_test(test_synchronize SOURCES test_synchronize.cpp LIBS tessera_base Qt6::Core LABELS threaded)

# The share of a test class one ctest entry runs (tests/support/ShardedMain.h).
tessera_add_test(test_sharded_main SOURCES test_sharded_main.cpp support/ShardedMain.h LIBS Qt6::Core)
