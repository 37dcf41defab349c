# Checks that every project include points down the layers (run with -DROOT=<source folder>):
# a folder may include its own headers and those of the folders listed for it, nothing else.
# The build runs it, and so does the test suite; a wrong include fails both with its file and line.
cmake_minimum_required(VERSION 3.25)

set(allowed_geometry geometry)
set(allowed_core core geometry)
set(allowed_io io core geometry)
set(allowed_commands commands io core geometry)
set(allowed_ui ui core geometry)
set(allowed_app app commands ui io core geometry)
set(allowed_companion companion)
set(allowed_tools tools commands io core geometry)

set(violations "")
foreach(layer geometry core io commands ui app companion tools)
  file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" folder "${line}")
      if(NOT folder IN_LIST allowed_${layer})
        file(RELATIVE_PATH name "${ROOT}" "${source}")
        string(APPEND violations "  ${name}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

# The file formats read pictures and text; the distance search is the commands' to call.
foreach(layer io core)
  file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" matcher REGEX "^[ \t]*#[ \t]*include[ \t]*\"geometry/search/[^\"]*\"")
    if(matcher)
      file(RELATIVE_PATH name "${ROOT}" "${source}")
      string(APPEND violations "  ${name}: ${matcher}\n")
    endif()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that point up or across the layers:\n${violations}")
endif()
