// The photographs of a picture source benchmark: the *.jpg files of a folder in the
// order the picture source lists them.
#pragma once

#include "picsource/PictureFolder.h"
#include "platform/base/WideText.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Full paths; ends the program with a message when the folder holds no picture.
inline std::vector<std::string> BenchPhotos(const char* tool, const std::string& folder)
{
    const std::u16string wideFolder = PictureFolder::WithSeparator(WideFromUtf8(folder));
    std::vector<std::string> paths;
    for (const std::u16string& name : PictureFolder::List(wideFolder)) paths.push_back(Utf8FromWide(wideFolder + name));
    if (paths.empty()) {
        std::fprintf(stderr, "%s: no *.jpg in %s\n", tool, folder.c_str());
        std::exit(1);
    }
    return paths;
}
