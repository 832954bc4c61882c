// The downstream project's own header, named like one of the library's.
#pragma once

struct UserVector {
    int x;
    int y;
};
