// quillory-demo: the painting demo. It takes no arguments and reads its files
// from the working directory; the environment chooses the platform and can
// script a headless run (see the README).
#include <cstdio>
#include <string>

#include "demo/demo_app.h"

int main() {
    Demo_Options options;
    std::string problem;
    if (!Demo_ReadEnvironment(options, problem)) {
        std::fprintf(stderr, "quillory-demo: %s\n", problem.c_str());
        return 2;
    }
    return Demo_Run(options, stdout);
}
