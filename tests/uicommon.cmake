tessera_add_test(test_profile SOURCES test_profile.cpp LIBS tessera_uicommon)
