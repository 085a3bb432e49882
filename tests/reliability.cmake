tessera_add_test(test_reliability SOURCES test_reliability.cpp AppHarness.h LIBS tessera_app tessera_sim TIMEOUT 1200)
# Under the sanitizers the soak's 10 000 exchanges would add minutes of time-outs to CI for no
# more coverage: the instrumented run keeps 2 000.
if(TESSERA_SANITIZER)
    set_property(TEST test_reliability APPEND PROPERTY ENVIRONMENT "TESSERA_SOAK_EXCHANGES=2000")
endif()
