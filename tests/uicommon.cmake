tessera_add_test(test_profile SOURCES test_profile.cpp LIBS tessera_uicommon)
tessera_add_test(test_update SOURCES test_update.cpp LIBS tessera_uicommon)
if(TESSERA_SANITIZER STREQUAL "thread")
  set_property(TEST test_profile test_update APPEND PROPERTY
      ENVIRONMENT "TSAN_OPTIONS=ignore_noninstrumented_modules=1 suppressions=${CMAKE_CURRENT_LIST_DIR}/test_uicommon_tsan.supp")
endif()
