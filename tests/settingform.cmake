# Port settings dialog against the real main window, on pseudo-terminals.
if(TARGET tessera_app)
    tessera_add_test(test_settingform SOURCES test_settingform.cpp LIBS tessera_app)
    # The test reaches the dialog's controls through its form class.
    set_property(TARGET test_settingform APPEND PROPERTY AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/ui)
endif()
