# Tavrel.exe: the WMI, processor-load and connectivity texts (portable, every
# tree but the 32-bit one), their Win32 collectors, and the program.
if(WIN32 AND NOT POS_WINDOWS_BITS EQUAL 64)
  return()
endif()

pos_core_library(tavrel_query_texts WmiValue.cpp WmiReportText.cpp WmiStatus.cpp CpuLoadText.cpp NetworkReportText.cpp)
target_link_libraries(tavrel_query_texts PUBLIC tavrel_blocks)

pos_unit_test(tavrel_query_texts_test
  SOURCES tests/WmiReportTextTest.cpp tests/WmiStatusTest.cpp tests/CpuLoadTextTest.cpp tests/NetworkReportTextTest.cpp
  LIBS tavrel_query_texts)

if(NOT WIN32)
  return()
endif()

# The endpoints of the connectivity probes. The defaults point at stand-ins on
# 127.0.0.1, for the tests and the demonstration: both POST probes go to the
# one HTTP port, and each endpoint's connection test has a port of its own, so
# that the stand-ins tell the two probes apart. A build for the field names
# the real hosts (see the README).
set(TAVREL_PUBLIC_SITE_URL "https://127.0.0.1:47322" CACHE STRING
    "Address whose connection the first probe tests (the public site's root)")
set(TAVREL_PUBLIC_SITE_HOST "127.0.0.1" CACHE STRING "Host of the first probe's HTTP POST")
set(TAVREL_VENDOR_SERVICE_URL "https://127.0.0.1:47323/" CACHE STRING
    "Address whose connection the second probe tests (the vendor service's root, with a closing /)")
set(TAVREL_VENDOR_SERVICE_HOST "127.0.0.1" CACHE STRING
    "Host of the second probe's HTTP POST, also shown in its summary line")
set(TAVREL_PROBE_HTTP_PORT "47321" CACHE STRING "Port of the HTTP POST of both probes (80 in the field)")
# The settings become C++ literals: only the characters of plain addresses.
foreach(setting TAVREL_PUBLIC_SITE_URL TAVREL_VENDOR_SERVICE_URL)
  if(NOT ${setting} MATCHES "^https?://[A-Za-z0-9.:/_~-]+$")
    message(FATAL_ERROR "${setting} must be an http:// or https:// address of plain characters: '${${setting}}'")
  endif()
endforeach()
foreach(setting TAVREL_PUBLIC_SITE_HOST TAVREL_VENDOR_SERVICE_HOST)
  if(NOT ${setting} MATCHES "^[A-Za-z0-9.-]+$")
    message(FATAL_ERROR "${setting} must be a host name or address: '${${setting}}'")
  endif()
endforeach()
if(NOT TAVREL_PROBE_HTTP_PORT MATCHES "^[0-9]+$" OR TAVREL_PROBE_HTTP_PORT LESS 1 OR TAVREL_PROBE_HTTP_PORT GREATER 65535)
  message(FATAL_ERROR "TAVREL_PROBE_HTTP_PORT must be a port number: '${TAVREL_PROBE_HTTP_PORT}'")
endif()
set(TAVREL_GENERATED_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
configure_file(win/ProbeEndpoints.h.in ${TAVREL_GENERATED_DIR}/ProbeEndpoints.h @ONLY)

add_library(tavrel_queries_win STATIC win/WmiQueries.cpp win/CpuLoad.cpp win/Connectivity.cpp)
pos_warnings(tavrel_queries_win)
target_include_directories(tavrel_queries_win PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/win ${TAVREL_GENERATED_DIR})
target_link_libraries(tavrel_queries_win PUBLIC tavrel_query_texts tavrel_blocks_win ole32 oleaut32 wbemuuid pdh wininet)

# The program: GUI subsystem, Unicode entry, manifest as a resource.
enable_language(RC)
add_executable(Tavrel WIN32
  win/TavrelMain.cpp win/ProgramState.cpp win/MainWindow.cpp win/CollectionThread.cpp win/AdminCheck.cpp
  win/Tavrel.rc)
pos_warnings(Tavrel)
target_link_options(Tavrel PRIVATE -municode)
target_link_libraries(Tavrel PRIVATE tavrel_queries_win tavrel_blocks_win)
set_source_files_properties(win/Tavrel.rc PROPERTIES OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win/Tavrel.exe.manifest)
pos_deliverable(Tavrel Tavrel.exe)
