# The English translation is complete and keeps its placeholders: lupdate over the sources
# finds nothing unfinished, no Russian literal is hidden from it. The scan's folders, options
# and the .ts file are those of translations/CMakeLists.txt.
if(TESSERA_TS_FILE)
    tessera_add_test(test_translations SOURCES test_translations.cpp)
    set(dirs "")
    foreach(dir ${TESSERA_TRANSLATED_DIRS})
        string(APPEND dirs "\"${dir}\", ")
    endforeach()
    set(options "")
    foreach(option ${TESSERA_LUPDATE_OPTIONS})
        string(APPEND options "\"${option}\", ")
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/translations_config/translations_config.h
         CONTENT "#define TESSERA_LUPDATE \"$<TARGET_FILE:Qt6::lupdate>\"
#define TESSERA_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\"
#define TESSERA_TS_FILE \"${TESSERA_TS_FILE}\"
#define TESSERA_TRANSLATED_DIRS {${dirs}}
#define TESSERA_LUPDATE_OPTIONS {${options}}
")
    target_include_directories(test_translations PRIVATE
                               ${CMAKE_CURRENT_BINARY_DIR}/translations_config)
endif()
