# Keeps the folders' one direction: for every library, a file that
# includes a header of each folder it must not see, which must fail to
# build for want of that header, and one that includes a header of each
# folder it links, which must build. The "rooms" test builds them. The
# disc reader sees Qt's core alone: QWidget stands for the widgets.
set(TAVERO_ROOM_HEADERS disc/Disc.h platform/Platform.h playback/MediaPlayer.h videocd/TrackPanel.h
    files/RecentFiles.h desktop/DesktopIntegration.h app/Form1.h QWidget)
set(TAVERO_ROOMS_SEEN_disc disc)
set(TAVERO_ROOMS_SEEN_platform disc platform QWidget)
set(TAVERO_ROOMS_SEEN_playback disc platform playback QWidget)
set(TAVERO_ROOMS_SEEN_videocd disc platform videocd QWidget)
set(TAVERO_ROOMS_SEEN_files disc platform files QWidget)
set(TAVERO_ROOMS_SEEN_desktop disc platform playback desktop QWidget)
set(TAVERO_ROOMS_SEEN_app disc platform playback videocd files desktop app QWidget)

set(dir ${CMAKE_CURRENT_BINARY_DIR}/rooms)
set(TAVERO_ROOM_TARGETS)
foreach(room disc platform playback videocd files desktop)
  set(seen)
  set(unseen)
  foreach(header ${TAVERO_ROOM_HEADERS})
    string(REGEX REPLACE "/.*" "" folder ${header})
    string(REGEX REPLACE "[/.]" "_" stem ${header})
    if(header MATCHES "/")
      file(CONFIGURE OUTPUT ${dir}/${room}_${stem}.cpp CONTENT "#include \"${header}\"\n")
    else()
      file(CONFIGURE OUTPUT ${dir}/${room}_${stem}.cpp CONTENT "#include <${header}>\n")
    endif()
    if(folder IN_LIST TAVERO_ROOMS_SEEN_${room})
      list(APPEND seen ${dir}/${room}_${stem}.cpp)
    else()
      add_library(rooms_${room}_${stem} OBJECT EXCLUDE_FROM_ALL ${dir}/${room}_${stem}.cpp)
      target_link_libraries(rooms_${room}_${stem} PRIVATE tavero_${room})
      list(APPEND TAVERO_ROOM_TARGETS "rooms_${room}_${stem}:${header}")
    endif()
  endforeach()
  add_library(rooms_${room}_seen OBJECT EXCLUDE_FROM_ALL ${seen})
  target_link_libraries(rooms_${room}_seen PRIVATE tavero_${room})
  list(APPEND TAVERO_ROOM_TARGETS "rooms_${room}_seen:")
endforeach()

add_test(NAME rooms COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} "-DTARGETS=${TAVERO_ROOM_TARGETS}"
         -P ${CMAKE_CURRENT_LIST_DIR}/check-rooms.cmake)
set_tests_properties(rooms PROPERTIES LABELS "build" TIMEOUT 300)
