// The library's own version, fixed when the library is compiled; the macros
// seen by a program are those of the headers it was compiled with.
#include "core/version.h"

int Gfx_GetVersion() { return QUILLORY_VERSION; }

const char* Gfx_GetVersionString() { return QUILLORY_VERSION_STRING; }
