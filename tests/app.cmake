# The program's command line, on argument lists.
tessera_add_test(test_commandline SOURCES test_commandline.cpp LIBS tessera_commandline)
target_compile_definitions(test_commandline PRIVATE EXPECTED_VERSION="${PROJECT_VERSION}")

# The installed program answers --version with no display at all (the option is handled before
# the window system is touched).
add_test(NAME tessera_version_without_display COMMAND tessera --version)
set_tests_properties(tessera_version_without_display PROPERTIES
    ENVIRONMENT "DISPLAY=;WAYLAND_DISPLAY=;QT_QPA_PLATFORM=xcb"
    PASS_REGULAR_EXPRESSION "^tessera \\(Tessera_RS-485\\) ${PROJECT_VERSION}\n$")
add_test(NAME tessera_mistake_without_display COMMAND tessera --address 0)
set_tests_properties(tessera_mistake_without_display PROPERTIES
    ENVIRONMENT "DISPLAY=;WAYLAND_DISPLAY=;QT_QPA_PLATFORM=xcb"
    PASS_REGULAR_EXPRESSION "Invalid address '0'")
