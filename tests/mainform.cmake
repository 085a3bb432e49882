tessera_add_test(test_mainform SOURCES test_mainform.cpp ../ui/main.ui LIBS Qt6::Widgets tessera_controls)
# The form lives beside the window code; uic is run on it for this test on its own.
set_property(TARGET test_mainform APPEND PROPERTY AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
