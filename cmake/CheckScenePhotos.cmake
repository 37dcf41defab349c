# Checks that every photograph a survey (tools/scenes/*.scene) is covered with is listed in
# tools/scenes/photos.txt with the Debian package that installs it, so that scripts/scenes, which
# installs those packages, renders every survey on a fresh machine (run with -DROOT=<source folder>).
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${ROOT}/tools/scenes/photos.txt" listed REGEX "^[a-z0-9][a-z0-9.+-]+ /")
set(photos "")
foreach(line IN LISTS listed)
  string(REGEX REPLACE "^[^ ]+ " "" photo "${line}")
  list(APPEND photos "${photo}")
endforeach()

set(missing "")
file(GLOB scenes "${ROOT}/tools/scenes/*.scene")
foreach(scene IN LISTS scenes)
  file(STRINGS "${scene}" lines REGEX "/usr/share/")
  foreach(line IN LISTS lines)
    string(REGEX MATCHALL "/usr/share/[^ \t]+" named "${line}")
    foreach(photo IN LISTS named)
      if(NOT photo IN_LIST photos)
        get_filename_component(name "${scene}" NAME)
        string(APPEND missing "  ${name}: ${photo}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(missing)
  message(FATAL_ERROR "Photographs without their package in tools/scenes/photos.txt:\n${missing}")
endif()
