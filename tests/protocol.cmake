# The protocol core without the window: frames, checks, decoders, texts.
tessera_add_test(test_protocol SOURCES test_protocol.cpp LIBS tessera_protocol)
