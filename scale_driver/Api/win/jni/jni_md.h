/*
 * The machine-dependent part of the JNI headers for 32-bit Windows
 * (i686-w64-mingw32): jni.h includes it for the calling convention and the
 * widths of the integer types.
 *
 * - JNICALL: every JNI function, the entry points of a library and the
 *   function tables of the environment and the virtual machine use the 32-bit
 *   Windows API convention (stdcall: arguments pushed right to left, the
 *   callee removes them).
 * - jint is 32 bits, jlong 64 bits, jbyte 8 bits, signed.
 * - JNIEXPORT is empty: the export table of the library is its .def file
 *   alone, which maps each undecorated name to its stdcall symbol. A
 *   dllexport attribute would add the decorated names ("name@N") too.
 */
#ifndef POS_JNI_MD_WIN32_H
#define POS_JNI_MD_WIN32_H

#if !defined(__i386__) || !defined(_WIN32)
#error "this jni_md.h is for 32-bit Windows only"
#endif

#define JNIEXPORT
#define JNIIMPORT
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
