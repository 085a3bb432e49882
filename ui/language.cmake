# The language of the texts (the English translation itself is built in translations/); part of
# the program library. Included from ui/CMakeLists.txt.
target_sources(tessera_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Language.h
    ${CMAKE_CURRENT_LIST_DIR}/Language.cpp
)
