# The English face: windows and messages with the English translation in force, and the
# stored language choice.
tessera_add_test(test_english SOURCES test_english.cpp support/AppHarness.h
                 LIBS tessera_app tessera_sim tessera_commandline LABELS threaded)

# The program itself finds the translation built into it: `tessera --lang en` starts (on the
# demo instrument, update check off) without saying the language is not available.
add_test(NAME tessera_lang_en
         COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tessera>
                 -DHOME=${CMAKE_BINARY_DIR}/test-home/tessera_lang_en
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/support/RunLangEn.cmake)
set_tests_properties(tessera_lang_en PROPERTIES TIMEOUT 120)
if(tessera_sanitizer_env)
    set_property(TEST tessera_lang_en APPEND PROPERTY ENVIRONMENT ${tessera_sanitizer_env})
endif()
add_test(NAME tessera_lang_unknown COMMAND tessera --lang de)
set_tests_properties(tessera_lang_unknown PROPERTIES
    ENVIRONMENT "DISPLAY=;WAYLAND_DISPLAY=;QT_QPA_PLATFORM=xcb"
    PASS_REGULAR_EXPRESSION "Invalid language 'de': give ru or en")

# Qt's own texts (standard buttons, file dialogs) in the language in force.
tessera_add_test(test_qt_texts SOURCES test_qt_texts.cpp LIBS tessera_app)
