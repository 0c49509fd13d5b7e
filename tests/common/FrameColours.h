// The order of a movie's pictures by their colours, read back with ffmpeg.
#pragma once

#include <string>

// The colour at the centre of each decoded frame of the movie at `path` (of `width` x
// `height` pixels), as the nearest of red, green and blue ('r', 'g', 'b'), repeats of one
// picture's frame folded into one; "<no ffmpeg>" when ffmpeg cannot be run.
std::string FrameColours(const std::string& path, int width, int height);
