// The application object: COM for the user-interface thread, the main window
// run until the confirmed Exit, engine errors shown as modal boxes.
#pragma once

class ReelsmithApp {
public:
    int Run(int argc, char** argv);
};
