// A program written the way a user of the installed package writes one.
#include <quillory/quillory.h>

// The project's own headers of the same names as two of the library's.
#include "core/string.h"
#include "math/vector.h"

#include <cstdio>
#include <cstring>

int main() {
    // The library the program runs with must be the one its headers describe.
    if (Gfx_GetVersion() != QUILLORY_VERSION || std::strcmp(Gfx_GetVersionString(), QUILLORY_VERSION_STRING) != 0) {
        std::printf("headers %s, library %s\n", QUILLORY_VERSION_STRING, Gfx_GetVersionString());
        return 1;
    }
    C_Color blue(0, 0, 255, 0);
    C_Stream stream;
    stream.OpenMemoryWrite();
    if (!blue.SaveToStream(&stream, 0) || stream.Size() != 18) {
        std::puts("colour record has the wrong size");
        return 1;
    }
    const UserVector size{2, 3};
    const C_String text(UserGreeting());
    if (text != UserGreeting() || size.x * size.y != 6) {
        std::puts("the project's own headers and the library's do not mix");
        return 1;
    }
    std::printf("Quillory %d.%d.%d: colour record of %u bytes, %s\n", QUILLORY_VERSION_MAJOR, QUILLORY_VERSION_MINOR,
                QUILLORY_VERSION_PATCH, static_cast<unsigned>(stream.Size()), text.CStr());
    return 0;
}
