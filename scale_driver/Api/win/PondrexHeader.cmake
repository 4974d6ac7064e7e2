# The public header include/Pondrex.h against the export table win/Pondrex.def.
# Included by the Api folder's CMakeLists.txt in the 32-bit tree.
#
# Configure stops when an export of the .def file is not declared in the
# header, or a declaration of the header is not exported. For every export
# it writes PONDREX_EXPORT_SIZE(Name, N) into PondrexExportSizes.inc, N
# being the argument bytes of its .def line; win/PondrexHeaderCheck.cpp
# turns each line into a compile-time check that the prototype in the header
# is stdcall and takes N bytes of arguments.
#
# Target pondrex_header: the header and PondrexExportSizes.inc, for the
# library's own check, its tests and the demonstration.

set(pondrex_def ${CMAKE_CURRENT_SOURCE_DIR}/win/Pondrex.def)
set(pondrex_header ${CMAKE_CURRENT_SOURCE_DIR}/include/Pondrex.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pondrex_def} ${pondrex_header})

# "Name = Name@N" lines of the .def file (comments start with ";").
file(STRINGS ${pondrex_def} def_lines)
set(def_names)
set(size_lines)
foreach(line IN LISTS def_lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  if(line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*=[ \t]*[A-Za-z_][A-Za-z0-9_]*@([0-9]+)[ \t]*$")
    list(APPEND def_names ${CMAKE_MATCH_1})
    string(APPEND size_lines "PONDREX_EXPORT_SIZE(${CMAKE_MATCH_1}, ${CMAKE_MATCH_2})\n")
  endif()
endforeach()

# The functions that the header declares: "PONDREX_CALL Name(".
file(READ ${pondrex_header} header_text)
string(REGEX MATCHALL "PONDREX_CALL[ \t\r\n]+[A-Za-z_][A-Za-z0-9_]*[ \t\r\n]*\\(" declarations "${header_text}")
set(header_names)
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE "^PONDREX_CALL[ \t\r\n]+([A-Za-z_][A-Za-z0-9_]*).*$" "\\1" name "${declaration}")
  list(APPEND header_names ${name})
endforeach()

set(undeclared ${def_names})
list(REMOVE_ITEM undeclared ${header_names})
set(unexported ${header_names})
list(REMOVE_ITEM unexported ${def_names})
if(undeclared)
  list(JOIN undeclared ", " undeclared)
  message(FATAL_ERROR "Pondrex.def exports ${undeclared}, which ${pondrex_header} does not declare: "
                      "add the prototype to the header")
endif()
if(unexported)
  list(JOIN unexported ", " unexported)
  message(FATAL_ERROR "${pondrex_header} declares ${unexported}, which Pondrex.def does not export")
endif()

file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/PondrexExportSizes.inc
     CONTENT "// Generated from Pondrex.def: each export and its argument bytes.\n${size_lines}" @ONLY)

add_library(pondrex_header INTERFACE)
target_include_directories(pondrex_header INTERFACE
  ${CMAKE_CURRENT_SOURCE_DIR}/include ${CMAKE_CURRENT_BINARY_DIR}/generated)

# The compile-time checks, built with the library; and the header compiled
# as C.
add_library(pondrex_header_check OBJECT win/PondrexHeaderCheck.cpp win/PondrexHeaderCheck.c)
pos_warnings(pondrex_header_check)
target_link_libraries(pondrex_header_check PRIVATE pondrex_header pondrex_api_core pondrex_api_raw pondrex_ftpbus)
add_dependencies(Pondrex pondrex_header_check)
