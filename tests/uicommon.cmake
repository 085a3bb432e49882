tessera_add_test(test_profile SOURCES test_profile.cpp LIBS tessera_uicommon)
tessera_add_test(test_update SOURCES test_update.cpp LIBS tessera_uicommon)
