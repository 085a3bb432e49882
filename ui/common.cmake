# Small helpers of the windows: the profile (INI) file, the special folders and the update
# check. Included from ui/CMakeLists.txt.
add_library(tessera_uicommon STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Profile.h
    ${CMAKE_CURRENT_LIST_DIR}/Profile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KnownFolders.h
    ${CMAKE_CURRENT_LIST_DIR}/UpdateNet.h
    ${CMAKE_CURRENT_LIST_DIR}/UpdateNet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateForm.h
    ${CMAKE_CURRENT_LIST_DIR}/UpdateForm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateForm.ui
)
target_link_libraries(tessera_uicommon PUBLIC Qt6::Widgets Qt6::Network tessera_serial)
# The special folders, the echo of the update check and opening the installer, one file per
# system.
target_sources(tessera_uicommon PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ShellOpen.h)
if(WIN32)
  target_sources(tessera_uicommon PRIVATE ${CMAKE_CURRENT_LIST_DIR}/KnownFoldersWin32.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/UpdateNetWin32.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/ShellOpenWin32.cpp)
  target_link_libraries(tessera_uicommon PRIVATE shell32 ole32 ws2_32 iphlpapi)
else()
  target_sources(tessera_uicommon PRIVATE ${CMAKE_CURRENT_LIST_DIR}/KnownFolders.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/ShellOpen.cpp)
endif()
target_include_directories(tessera_uicommon PUBLIC ${PROJECT_SOURCE_DIR})
