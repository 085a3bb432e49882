# The help window with its pages, and the fit of the main window to small screens; part of the
# program library. Included from ui/CMakeLists.txt.
target_sources(tessera_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.h
    ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help/help.qrc
    ${CMAKE_CURRENT_LIST_DIR}/ScreenFit.h
    ${CMAKE_CURRENT_LIST_DIR}/ScreenFit.cpp
)
set_property(TARGET tessera_app PROPERTY AUTORCC ON)
