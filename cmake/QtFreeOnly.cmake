# The Qt-free build: the protocol library, the serial backend, the configuration file,
# tessera-cli and the backend check program, nothing that needs Qt. For the Windows cross
# build (Qt for Windows is not available there); on Windows without Qt 6 it is the only build
# there is.
option(TESSERA_QT_FREE_ONLY "Build only the targets without Qt" OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND NOT TESSERA_QT_FREE_ONLY)
  find_package(Qt6 QUIET COMPONENTS Core)
  if(NOT Qt6_FOUND)
    message(STATUS "Qt 6 not found: building only the targets without Qt")
    set(TESSERA_QT_FREE_ONLY ON CACHE BOOL "Build only the targets without Qt" FORCE)
  endif()
endif()

if(TESSERA_QT_FREE_ONLY)
  set(CMAKE_AUTOMOC OFF)
  set(CMAKE_AUTOUIC OFF)
  find_package(Threads REQUIRED)
  add_subdirectory(protocol)
  add_subdirectory(serial)
  add_subdirectory(config)
  add_subdirectory(linescan)
  add_subdirectory(cli)
  add_subdirectory(tests/win32)
endif()
