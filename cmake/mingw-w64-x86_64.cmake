# Cross build for 64-bit Windows with MinGW-w64:
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Without Qt for Windows this builds only the Qt-free targets; with the Qt that
# scripts/qt-windows.sh builds (its qt-cmake chain-loads this file) it builds the window too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSERA_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model: std::thread and std::mutex (the backend's locks, the programs'
# worker threads) are missing from GCC's win32 model.
find_program(CMAKE_C_COMPILER
             NAMES ${TESSERA_MINGW_PREFIX}-gcc-posix ${TESSERA_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER
             NAMES ${TESSERA_MINGW_PREFIX}-g++-posix ${TESSERA_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TESSERA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSERA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables that run on a bare Windows (or Wine) without the compiler's DLLs beside them.
# Qt's DLLs and the programs linked with them share one runtime instead (libstdc++,
# libgcc_s_seh, libwinpthread as DLLs, shipped beside them): TESSERA_MINGW_STATIC_RUNTIME=OFF.
if(NOT DEFINED TESSERA_MINGW_STATIC_RUNTIME)
  set(TESSERA_MINGW_STATIC_RUNTIME ON)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSERA_MINGW_STATIC_RUNTIME)
if(TESSERA_MINGW_STATIC_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()
