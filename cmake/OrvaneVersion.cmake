# The program's version has one home: the project() line of the top CMakeLists.txt. This writes
# it into generated/orvane_version.h under the build folder for program_info.h to read.
#   orvane_version_header(<version>)        from the version given (the top project passes its own)
#   orvane_version_from_top(<out-var> <top-CMakeLists.txt>)  reads it back for side projects
function(orvane_version_header version)
  string(REPLACE "." ";" parts "${version}")
  list(GET parts 0 PROJECT_VERSION_MAJOR)
  list(GET parts 1 PROJECT_VERSION_MINOR)
  set(PROJECT_VERSION ${version})
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version.h.in
                 ${CMAKE_BINARY_DIR}/generated/orvane_version.h @ONLY)
endfunction()

function(orvane_version_from_top out top)
  file(STRINGS ${top} line REGEX "^project\\(orvane VERSION [0-9.]+")
  string(REGEX REPLACE "^project\\(orvane VERSION ([0-9.]+).*" "\\1" version "${line}")
  set(${out} ${version} PARENT_SCOPE)
endfunction()
