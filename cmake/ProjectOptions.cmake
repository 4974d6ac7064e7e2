# Build settings shared by every target of the three trees.

if(WIN32)
  # Windows binaries carry libgcc and libstdc++ inside, so they need no extra DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(POS_WINDOWS_BITS 32)
    # The toolchain file sets the SSE2 flags only when a tree is first
    # configured; a tree configured before it did must be made afresh.
    if(NOT CMAKE_CXX_FLAGS MATCHES "-mfpmath=sse")
      message(FATAL_ERROR "${CMAKE_BINARY_DIR} was configured without the toolchain's SSE2 flags: delete it and configure again")
    endif()
  else()
    set(POS_WINDOWS_BITS 64)
  endif()
  # Windows programs of this tree run under Wine, in the project's own prefix.
  set(POS_WINE_DIR ${CMAKE_BINARY_DIR}/../wine CACHE PATH "Wine prefix and pseudo-terminal links")
  get_filename_component(POS_WINE_DIR ${POS_WINE_DIR} ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/windows/run-in-wine.sh ${POS_WINE_DIR})
else()
  # Native tree: the portable core and its tests under ASan and UBSan.
  option(POS_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
  if(POS_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# Warnings are errors in the project's own code (not in GoogleTest).
function(pos_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A portable library of the core: static, warnings as errors.
function(pos_core_library name)
  add_library(${name} STATIC ${ARGN})
  pos_warnings(${name})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# How many times longer than usual the Windows tests of this tree may take:
# more than 1 where the tree's programs run under an emulator (scripts/build.sh
# sets it for a 32-bit tree on a kernel that runs no 32-bit programs).
set(POS_TEST_TIME_SCALE 1 CACHE STRING "Factor on the time limits of the Windows tests")

# A GoogleTest program. Natively every test case becomes a CTest test; in the
# Windows trees the whole program is one CTest test run under Wine.
function(pos_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  pos_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  if(WIN32)
    add_test(NAME win${POS_WINDOWS_BITS}.${name} COMMAND ${name})
    math(EXPR timeout "300 * ${POS_TEST_TIME_SCALE}")
    set_tests_properties(win${POS_WINDOWS_BITS}.${name} PROPERTIES TIMEOUT ${timeout})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
  endif()
endfunction()

# pos_deliverable(<target> <file name>): ships the binary of <target> as
# ${POS_OUTPUT_DIR}/<file name>, stripped, and keeps its debug information
# in ${POS_OUTPUT_DIR}/.debug/<file name>.debug. The shipped file names that
# file in its .gnu_debuglink section, and gdb and addr2line look for it in
# the .debug folder beside the binary. Runs after every link of the target;
# a test checks the split.
function(pos_deliverable target file_name)
  set_property(GLOBAL APPEND PROPERTY POS_DELIVERABLE_TARGETS ${target})
  set(shipped ${POS_OUTPUT_DIR}/${file_name})
  set(debug_file ${POS_OUTPUT_DIR}/.debug/${file_name}.debug)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${POS_OUTPUT_DIR}/.debug
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug_file} $<TARGET_FILE:${target}> ${shipped}
    BYPRODUCTS ${shipped} ${debug_file}
    VERBATIM)
  add_test(NAME win${POS_WINDOWS_BITS}.deliverable.${file_name}
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/windows/check_deliverable.py
            --objdump ${CMAKE_OBJDUMP} ${shipped} ${debug_file})
endfunction()
