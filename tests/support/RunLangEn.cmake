# Runs `tessera --demo --lang en` in a HOME of its own, with the update check switched off in
# its settings file, until the main window is shown (TESSERA_EXIT_AFTER_SHOWN); fails unless it
# ends well, having opened the demo's port, without saying that English is not available.
# Used by the test tessera_lang_en.
file(REMOVE_RECURSE ${HOME})
file(WRITE ${HOME}/Documents/Tessera_RS/setup.cfg "[Update]\nUpdate=0\n")
set(ENV{HOME} ${HOME})
set(ENV{XDG_CONFIG_HOME} ${HOME}/.config)
set(ENV{XDG_DATA_HOME} ${HOME}/.local/share)
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{TESSERA_EXIT_AFTER_SHOWN} 1)
execute_process(COMMAND ${PROGRAM} --demo --lang en RESULT_VARIABLE code TIMEOUT 100
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT code EQUAL 0)
    message(FATAL_ERROR "tessera --demo --lang en ended with ${code}")
endif()
if(NOT out MATCHES "shown after [0-9]+ ms, port open")
    message(FATAL_ERROR "the window was not shown with the demo's port open")
endif()
if(err MATCHES "not available")
    message(FATAL_ERROR "the English translation was not found")
endif()
