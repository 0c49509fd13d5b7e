#include "app/ReelsmithApp.h"

int main(int argc, char** argv)
{
    ReelsmithApp app;
    return app.Run(argc, argv);
}
