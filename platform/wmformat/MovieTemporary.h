// The hidden file a movie is written into before it takes its name: beside the
// movie, named ".NAME.xxxxxxxx.part", and locked (flock) while it is written.
// Runs writing the same movie at once cannot mix their bytes, the final rename
// stays within one folder (atomic), and what a killed run leaves is never taken
// for a movie: the next run for the same name removes the temporaries whose lock
// it can take, those of runs that have ended.
//
// The name must be a regular file or not yet exist: a folder, device, FIFO or
// socket is refused, as the rename would replace it with a file. A symbolic link
// is followed: the movie is written into its target's folder and renamed over
// the target, and the link stays a link. A file already there keeps its
// permissions; a new one gets those of a plain new file (the umask's).
#pragma once

#include "platform/com/Com.h"

#include <string>

// An errno value as the result code a writer answers.
HRESULT HresultFromErrno(int error);

class MovieTemporary {
public:
    MovieTemporary() = default;
    ~MovieTemporary() { Remove(); }
    MovieTemporary(const MovieTemporary&) = delete;
    MovieTemporary& operator=(const MovieTemporary&) = delete;

    // Checks the movie's name and creates the locked temporary for it.
    // HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE) for a device, FIFO or socket,
    // HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) for a folder.
    HRESULT Create(const std::string& moviePath);
    const std::string& Path() const { return path; }
    // Gives the temporary the movie's name, with the permissions of the file it replaces.
    HRESULT Commit();
    // Removes the temporary, if there is one.
    void Remove();

private:
    HRESULT CreateLocked();
    void Release();

    std::string target;
    std::string path;
    int descriptor = -1;
};
