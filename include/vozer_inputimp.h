/* The input implementation interface: extra input devices come from
 * libraries exporting VOZER_InputImp_GetInterface. Member-call operations.
 * NEVER MOVE AN OPERATION. */
#ifndef VOZER_INPUTIMP_H
#define VOZER_INPUTIMP_H

#include "vozer_types.h"

struct VozerRuntimeShared;
typedef struct VozerInputImp VozerInputImp;

/* X(slot, result, Name, (self, parameters)). */
#define VOZER_INPUTIMP_OPS(X) \
    /* Acceptance test at binding; false unloads the library. */ \
    X(0, vz_bool, IsSupported, (VozerInputImp* self)) \
    /* Reserved; the runtime never calls it. */ \
    X(1, void, Reserved1, (VozerInputImp* self)) \
    /* After the renderer started; the result is not used. */ \
    X(2, vz_bool, Init, (VozerInputImp* self, struct VozerRuntimeShared* runtime)) \
    X(3, void, Shutdown, (VozerInputImp* self)) \
    /* The window gained (1) or lost (0) activation. */ \
    X(4, void, SetActive, (VozerInputImp* self, vz_bool active)) \
    /* Start of every frame. */ \
    X(5, void, BeginFrame, (VozerInputImp* self)) \
    /* End of every frame. */ \
    X(6, void, EndFrame, (VozerInputImp* self))

#define VZ_INPUTIMP_OP_COUNT 7

typedef struct VozerInputImpOps {
#define VZ_INPUTIMP_MEMBER(slot, result, name, params) result (VZ_THISCALL *name) params;
    VOZER_INPUTIMP_OPS(VZ_INPUTIMP_MEMBER)
#undef VZ_INPUTIMP_MEMBER
} VozerInputImpOps;

struct VozerInputImp {
    const VozerInputImpOps* ops;
};

typedef VozerInputImp* (VZ_CDECL *VozerInputImpGetInterfaceFn)(void);
#define VZ_INPUTIMP_EXPORT "VOZER_InputImp_GetInterface"

/* Optional second export: answers extension names (CallExtension) that
 * neither the runtime nor the renderer knows, in load order of the input
 * libraries. Returns library-owned text valid until its next call, or null
 * for a name it does not know. */
typedef const char* (VZ_CDECL *VozerInputImpExtensionFn)(const char* name, const char* argument);
#define VZ_INPUTIMP_EXTENSION_EXPORT "VOZER_InputImp_Extension"

#endif
