# The help window and its pages, part of the program library. Included from ui/CMakeLists.txt.
target_sources(tessera_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.h
    ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help/help.qrc
)
set_property(TARGET tessera_app PROPERTY AUTORCC ON)
