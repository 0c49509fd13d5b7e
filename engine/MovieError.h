// A failure as the engine met it, carried as a value to whoever shows it: the window
// shows its text in a message box, reelsmith-make prints it and acts on its code.
#pragma once

#include "platform/com/Com.h"

#include <string>

struct MovieError {
    HRESULT code = S_OK;
    // What the code means in the user's language; empty for a code without words.
    std::u16string words;
    // The movie, sound file or picture folder it concerns; may be empty.
    std::u16string path;
    // Why the registry could not answer, for a class that was not found.
    std::u16string registryProblem;
    // Where the engine met it.
    const char* file = "";
    int line = 0;

    // "Error code: 0x%x.", then the words with the path, then the registry's problem,
    // one to a line, as the message box shows them.
    std::u16string Text() const;
};
