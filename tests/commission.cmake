# Commissioning from the window: read all, configuration files (also with tessera-cli), the
# preview, the CSV log while polling, the plot's bounded memory. Real windows on virtual
# instruments.
tessera_add_test(test_commission SOURCES test_commission.cpp support/AppHarness.h support/ShardedMain.h
                 LIBS tessera_app tessera_sim TIMEOUT 600 LABELS threaded SHARDS 3)
target_compile_definitions(test_commission PRIVATE TESSERA_CLI_PROGRAM="$<TARGET_FILE:tessera-cli>")
add_dependencies(test_commission tessera-cli)

tessera_add_test(test_reading_log SOURCES test_reading_log.cpp LIBS tessera_commissioning)
