tessera_add_test(test_digit SOURCES test_digit.cpp LIBS tessera_controls)
if(TESSERA_SANITIZER STREQUAL "thread")
  set_property(TEST test_digit APPEND PROPERTY
      ENVIRONMENT "TSAN_OPTIONS=ignore_noninstrumented_modules=1 suppressions=${CMAKE_CURRENT_LIST_DIR}/test_uicommon_tsan.supp")
endif()
