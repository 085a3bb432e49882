# The main window's watch over its port: the device unplugged while polling and plugged back.
tessera_add_test(test_portwatch SOURCES test_portwatch.cpp support/AppHarness.h
                 LIBS tessera_app tessera_sim LABELS threaded)
# Without a display the program says what is missing instead of aborting.
if(TARGET tessera)
    tessera_add_test(test_displaycheck SOURCES test_displaycheck.cpp ${PROJECT_SOURCE_DIR}/app/DisplayCheck.cpp
                     LIBS Qt6::Core)
    target_compile_definitions(test_displaycheck PRIVATE TESSERA_PROGRAM="$<TARGET_FILE:tessera>")
    target_include_directories(test_displaycheck PRIVATE ${PROJECT_SOURCE_DIR})  # app/ has no library
    add_dependencies(test_displaycheck tessera)
endif()
