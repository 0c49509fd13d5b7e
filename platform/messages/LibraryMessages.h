// The libraries the platform is carried by write to the terminal on their own
// (FFmpeg's log, ALSA's errors while SDL looks for a sound device). Their lines mean
// nothing to a user, who is told of failures through result codes, so they are
// dropped unless a front end asks for them (reelsmith-make --verbose).
#pragma once

// Off by default; on, warnings and errors of the libraries go to standard error.
void ShowLibraryMessages(bool shown);
