# The Java entry points in a real Java virtual machine (native tree only):
# OpenJDK 17 runs PondrexJavaTest with checked JNI against libPondrex.so, the
# bridge built natively with the driver on the fake platform and the test's
# native helpers (JavaTestHost.cpp). The Java sources that the README shows
# are compiled with the test and used by it. Included by the Api folder's
# CMakeLists.txt.

set(pondrex_java_dir ${CMAKE_CURRENT_BINARY_DIR}/java)
set(pondrex_java_test_src ${CMAKE_CURRENT_SOURCE_DIR}/tests/java)

add_library(pondrex_java_native SHARED JavaEntryPoints.cpp tests/java/JavaTestHost.cpp)
pos_warnings(pondrex_java_native)
find_package(Threads REQUIRED)
target_link_libraries(pondrex_java_native PRIVATE
  pondrex_api_java pondrex_platform_fake pondrex_test_support Threads::Threads)
set_target_properties(pondrex_java_native PROPERTIES
  OUTPUT_NAME Pondrex LIBRARY_OUTPUT_DIRECTORY ${pondrex_java_dir}/lib)

# The files of the README's Java example, and the test program.
set(pondrex_readme_java Pondrex/DLL.java ScaleEvents.java WeighingExample.java)
list(TRANSFORM pondrex_readme_java PREPEND ${pondrex_java_dir}/readme/ OUTPUT_VARIABLE pondrex_readme_java_files)
set(pondrex_java_test_files ${pondrex_java_test_src}/PondrexJavaTest.java ${pondrex_java_test_src}/FakeScale.java)
add_custom_command(
  OUTPUT ${pondrex_readme_java_files}
  COMMAND /usr/bin/python3 ${pondrex_java_test_src}/readme_java.py ${PROJECT_SOURCE_DIR}/README.md
          ${pondrex_java_dir}/readme ${pondrex_readme_java}
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${pondrex_java_test_src}/readme_java.py
  COMMENT "Java sources of the README")
add_custom_command(
  OUTPUT ${pondrex_java_dir}/classes.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${pondrex_java_dir}/classes
  COMMAND ${POS_JDK_DIR}/bin/javac -Xlint:all -Werror -encoding UTF-8 -d ${pondrex_java_dir}/classes
          ${pondrex_readme_java_files} ${pondrex_java_test_files}
  COMMAND ${CMAKE_COMMAND} -E touch ${pondrex_java_dir}/classes.stamp
  DEPENDS ${pondrex_readme_java_files} ${pondrex_java_test_files}
  COMMENT "Compiling the Java test and the README's example")
add_custom_target(pondrex_java_classes ALL DEPENDS ${pondrex_java_dir}/classes.stamp)
add_dependencies(pondrex_java_native pondrex_java_classes)

add_test(NAME pondrex_api_java_test
  COMMAND ${POS_JDK_DIR}/bin/java -Xcheck:jni -Djava.library.path=${pondrex_java_dir}/lib
          -cp ${pondrex_java_dir}/classes PondrexJavaTest)
# Any line that checked JNI prints fails the test, whatever the exit code.
set_tests_properties(pondrex_api_java_test PROPERTIES TIMEOUT 120 FAIL_REGULAR_EXPRESSION "WARNING|FATAL")
if(POS_SANITIZE)
  # The library's sanitizer runtime must be loaded before the virtual
  # machine; the machine's own signals and its memory at exit are its own.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE pondrex_libasan OUTPUT_STRIP_TRAILING_WHITESPACE)
  set_tests_properties(pondrex_api_java_test PROPERTIES ENVIRONMENT
    "LD_PRELOAD=${pondrex_libasan};ASAN_OPTIONS=handle_segv=0:allow_user_segv_handler=1:detect_leaks=0")
endif()
