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
# Until the serial backend lists port details itself: a weak stand-in, in a library of its
# own that comes after the backend on the link line (see PortDetailsFallback.cpp).
add_library(tessera_port_details_fallback STATIC ${CMAKE_CURRENT_SOURCE_DIR}/PortDetailsFallback.cpp)
target_include_directories(tessera_port_details_fallback PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(tessera_port_details_fallback PROPERTIES AUTOMOC OFF AUTOUIC OFF)
target_link_libraries(tessera_app PUBLIC tessera_port_details_fallback)
