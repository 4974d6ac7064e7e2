# The JNI headers that the Java entry points of Pondrex build against: jni.h
# of Debian's OpenJDK 17 (openjdk-17-jdk-headless, installed by
# scripts/install-deps.sh; never copied into the repository). Natively the
# JDK's own machine-dependent header comes with it; the 32-bit Windows tree
# takes ours (scale_driver/Api/win/jni/jni_md.h).
#
# Gives the interface target pos_jni_headers, and POS_JDK_DIR, whose bin/
# holds the java and javac of the same JDK for the native Java tests.

set(POS_JDK_DIR "" CACHE PATH "The JDK whose jni.h the Java entry points build against")
if(NOT POS_JDK_DIR)
  # Debian installs OpenJDK 17 as /usr/lib/jvm/java-17-openjdk-<architecture>;
  # another JDK on PATH (or JAVA_HOME) is not taken.
  file(GLOB pos_jdk_candidates LIST_DIRECTORIES true /usr/lib/jvm/java-17-openjdk-*)
  foreach(candidate IN LISTS pos_jdk_candidates)
    if(EXISTS ${candidate}/include/jni.h AND EXISTS ${candidate}/bin/javac)
      set(POS_JDK_DIR ${candidate} CACHE PATH "The JDK whose jni.h the Java entry points build against" FORCE)
      break()
    endif()
  endforeach()
endif()
if(NOT EXISTS ${POS_JDK_DIR}/include/jni.h)
  message(FATAL_ERROR "No OpenJDK 17 with jni.h under /usr/lib/jvm: run scripts/install-deps.sh "
                      "(openjdk-17-jdk-headless) or set POS_JDK_DIR")
endif()

add_library(pos_jni_headers INTERFACE)
if(WIN32)
  target_include_directories(pos_jni_headers SYSTEM INTERFACE
    ${POS_JDK_DIR}/include ${PROJECT_SOURCE_DIR}/scale_driver/Api/win/jni)
else()
  target_include_directories(pos_jni_headers SYSTEM INTERFACE
    ${POS_JDK_DIR}/include ${POS_JDK_DIR}/include/linux)
endif()
