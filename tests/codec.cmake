tessera_add_test(test_codec SOURCES test_codec.cpp LIBS tessera_codec)
