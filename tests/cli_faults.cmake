# tessera-cli under hostile input, interruptions and a full disk, against the virtual
# instrument on a pseudo-terminal.
tessera_add_test(test_cli_faults SOURCES test_cli_faults.cpp support/ShardedMain.h LIBS tessera_cli tessera_sim
                 TIMEOUT 180 SHARDS 2)
target_compile_definitions(test_cli_faults PRIVATE TESSERA_CLI_PROGRAM="$<TARGET_FILE:tessera-cli>")
add_dependencies(test_cli_faults tessera-cli)
