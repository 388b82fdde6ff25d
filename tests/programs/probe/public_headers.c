/* Every public header, compiled as C (C11) in both builds: Programs and
 * plug-ins may be written in plain C. The layout checks inside the headers
 * run here too. */
#include "vozer_api.h"
#include "vozer_inputimp.h"
#include "vozer_keys.h"
#include "vozer_program.h"
#include "vozer_render_types.h"
#include "vozer_rendimp.h"
#include "vozer_runtime.h"
#include "vozer_soundimp.h"
#include "vozer_types.h"

/* Something to compile: the table sizes a C compiler sees. */
const unsigned vozer_header_sizes[] = {
    (unsigned)sizeof(VozerEngineApi),  (unsigned)sizeof(VozerProgramRecord), (unsigned)sizeof(VozerBitmap),
    (unsigned)sizeof(VozerRendImpOps), (unsigned)sizeof(VozerSoundImpOps),   (unsigned)sizeof(VozerInputImpOps),
    (unsigned)sizeof(VozerRuntimeShared), (unsigned)sizeof(VozerInputEvent), VZ_MOUSE_CODE(1, VZ_MOUSE_X)};
