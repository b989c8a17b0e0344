# Installs the build into a scratch prefix and checks that the player, its
# help viewer and its help file share one folder reached through bin/.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(link ${PREFIX}/bin/tavero-player)
if(NOT IS_SYMLINK ${link})
  message(FATAL_ERROR "${link} is not a link")
endif()
file(REAL_PATH ${link} player)
get_filename_component(progdir ${player} DIRECTORY)
foreach(f tavero-player tavero-help THelp.hlp)
  if(NOT EXISTS ${progdir}/${f})
    message(FATAL_ERROR "${f} missing beside the player in ${progdir}")
  endif()
endforeach()
foreach(f share/applications/org.tavero.Player.desktop share/metainfo/org.tavero.Player.metainfo.xml
          share/man/man1/tavero-player.1.gz share/doc/tavero-player/copyright
          share/doc/tavero-player/changelog.gz share/icons/hicolor/32x32/apps/org.tavero.Player.png
          share/icons/hicolor/scalable/apps/org.tavero.Player.svg)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "${f} not installed")
  endif()
endforeach()

# The installed player starts (its libraries load and it keeps running
# until stopped).
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${link}
                TIMEOUT 4 RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc MATCHES "timeout")
  message(FATAL_ERROR "the installed player did not keep running: ${rc}")
endif()
