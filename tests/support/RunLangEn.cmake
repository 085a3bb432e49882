# Runs `tessera --demo --lang en` in a HOME of its own, with the update check switched off in
# its settings file, until the main window is shown (TESSERA_EXIT_AFTER_SHOWN). Used by the
# test tessera_lang_en; the program's output is the test's.
file(REMOVE_RECURSE ${HOME})
file(WRITE ${HOME}/Documents/Tessera_RS/setup.cfg "[Update]\nUpdate=0\n")
set(ENV{HOME} ${HOME})
set(ENV{XDG_CONFIG_HOME} ${HOME}/.config)
set(ENV{XDG_DATA_HOME} ${HOME}/.local/share)
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{TESSERA_EXIT_AFTER_SHOWN} 1)
execute_process(COMMAND ${PROGRAM} --demo --lang en RESULT_VARIABLE code TIMEOUT 100)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "tessera --demo --lang en ended with ${code}")
endif()
