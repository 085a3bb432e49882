# The Win32 serial backend's computing part (port paths, DCB values, port order, friendly
# names), on any system; and the backend check program that scripts/wine-check.sh runs.
tessera_add_test(test_win32_mapping SOURCES test_win32_mapping.cpp LIBS tessera_serial_backend)
add_subdirectory(win32)
