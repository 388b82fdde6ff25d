/* Basic types shared by the runtime, renderer plug-ins, sound and input
 * libraries and Programs. Plain C: every header in this folder must compile
 * as C99 and as C++, and nothing here may depend on the compiler that built
 * the other side of a library boundary. */
#ifndef VOZER_TYPES_H
#define VOZER_TYPES_H

#include <stddef.h>
#include <stdint.h>

/* Calling conventions. Engine API slots and Program entries are cdecl (the
 * caller removes the arguments). Operation tables of implementation objects
 * (renderer, sound, input) are i686 member calls: the object travels in ECX
 * and the callee removes the stack arguments, so a plug-in built by another
 * C++ compiler can implement them as ordinary virtual member functions. On
 * 64-bit hosts (the development build) there is a single convention and both
 * macros are empty. */
#if defined(__i386__) || defined(_M_IX86)
#  if defined(_MSC_VER)
#    define VZ_CDECL __cdecl
#    define VZ_THISCALL __thiscall
#  else
#    define VZ_CDECL __attribute__((cdecl))
#    define VZ_THISCALL __attribute__((thiscall))
#  endif
#else
#  define VZ_CDECL
#  define VZ_THISCALL
#endif

#if defined(_WIN32)
#  define VZ_EXPORT __declspec(dllexport)
#else
#  define VZ_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#  define VZ_EXTERN_C extern "C"
#  define VZ_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#  define VZ_EXTERN_C
#  define VZ_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Only the i686 product fixes record layouts; the 64-bit development build
 * has wider pointers and checks just what does not depend on them. */
#if defined(__i386__) || defined(_M_IX86)
#  define VZ_LAYOUT_IS_I686 1
#else
#  define VZ_LAYOUT_IS_I686 0
#endif

/* A boolean that crosses a library boundary is one byte, 0 or 1. */
typedef uint8_t vz_bool;

/* The version of the engine API table and of the Program record. */
#define VZ_INTERFACE_VERSION 1222
/* The runtime's core build number, reported in the log banner. */
#define VZ_CORE_BUILD 2966

/* Severity levels of Print/Log/Popup. */
#define VZ_INFO 0
#define VZ_WARNING 1
#define VZ_ERROR 2
#define VZ_SYSTEM 3

/* Opaque handles owned by the runtime. The Program keeps the pointers and
 * hands them back through the matching release slots; it never frees them. */
typedef struct VozerSound VozerSound;
typedef struct VozerFont VozerFont;
typedef struct VozerShader VozerShader;
typedef struct VozerFile VozerFile;
typedef struct VozerMutex VozerMutex;
typedef void* VozerThread;   /* (VozerThread)-1 means "no thread" */
typedef void* VozerChannel;  /* sound channel; null means "not playing" */

#endif
