# The port settings dialog, part of the program library.
target_sources(tessera_app PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/Unit1.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Unit1.h
    ${CMAKE_CURRENT_SOURCE_DIR}/Unit1.ui
)
target_sources(tessera_app PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/PortList.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PortList.h
    ${CMAKE_CURRENT_SOURCE_DIR}/PortWatch.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PortWatch.h
)
