// The downstream project's own header, named like one of the library's: the
// library's headers must not pick it up through the include path.
#pragma once

inline const char* UserGreeting() { return "user headers first"; }
