#include "app/ReelsmithApp.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before any window system is needed, as for the command-line tools.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("reelsmith (Reelsmith) %s\n", REELSMITH_VERSION);
        return 0;
    }
    ReelsmithApp app;
    return app.Run(argc, argv);
}
