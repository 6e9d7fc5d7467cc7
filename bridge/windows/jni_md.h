/*
 * The machine-dependent half of jni.h for Windows. The bridge is cross-built with
 * MinGW-w64 against the jni.h of the build machine's JDK, which brings only the
 * Linux counterpart of this file; this folder stands in front of it on the
 * include path.
 */
#ifndef FERROW_WINDOWS_JNI_MD_H
#define FERROW_WINDOWS_JNI_MD_H

/* A Windows JVM calls native methods with stdcall on 32-bit x86 (the method pops
 * its own arguments) and with the one x64 convention on 64-bit, where the keyword
 * changes nothing. */
#define JNICALL __stdcall

/* Left empty: the bridge's module-definition file is its whole export table. A
 * dllexport would add a second name per method on 32-bit x86 (Name@8, where a JVM
 * looks up _Name@8). */
#define JNIEXPORT
#define JNIIMPORT __declspec(dllimport)

/* long is 32 bits wide on Windows in both widths. */
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
