# The default run keeps the soak short (300 exchanges); the long form is a test of its own
# with the label "soak", which the default run leaves out (ctest -LE soak) and CI runs as a
# stage of its own (ctest -L soak).
tessera_add_test(test_reliability SOURCES test_reliability.cpp support/AppHarness.h support/ShardedMain.h
    LIBS tessera_app tessera_sim TIMEOUT 1200 SHARDS 3 ENV "TESSERA_SOAK_EXCHANGES=300")
add_test(NAME test_reliability_soak COMMAND test_reliability soak)
set_tests_properties(test_reliability_soak PROPERTIES
    TIMEOUT 1800 LABELS "soak"
    ENVIRONMENT "HOME=${CMAKE_BINARY_DIR}/test-home/test_reliability_soak;QT_QPA_PLATFORM=offscreen;TESSERA_TEST=1;TESSERA_SOAK_EXCHANGES=10000;QTEST_FUNCTION_TIMEOUT=1500000")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-home/test_reliability_soak)
# Under the sanitizers the long soak's 10 000 exchanges would add minutes of time-outs for no
# more coverage: the instrumented run keeps 2 000.
if(TESSERA_SANITIZER)
    set_property(TEST test_reliability_soak APPEND PROPERTY ENVIRONMENT ${tessera_sanitizer_env} "TESSERA_SOAK_EXCHANGES=2000")
endif()
