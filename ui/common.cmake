# Small helpers of the windows: the profile (INI) file, the special folders and the update
# check. Included from ui/CMakeLists.txt.
add_library(tessera_uicommon STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Profile.h
    ${CMAKE_CURRENT_LIST_DIR}/Profile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KnownFolders.h
    ${CMAKE_CURRENT_LIST_DIR}/KnownFolders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateNet.h
    ${CMAKE_CURRENT_LIST_DIR}/UpdateNet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateForm.h
    ${CMAKE_CURRENT_LIST_DIR}/UpdateForm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateForm.ui
)
target_link_libraries(tessera_uicommon PUBLIC Qt6::Widgets Qt6::Network tessera_serial)
target_include_directories(tessera_uicommon PUBLIC ${PROJECT_SOURCE_DIR})
