// The photographs of a picture source benchmark: the *.jpg files of a folder in the
// order the picture source lists them.
#pragma once

#include "picsource/PictureFolder.h"
#include "platform/base/WideText.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// Makes `count` noisy plasma photographs of width x height once, with ImageMagick, in
// `folder`; ends the program with a message when ImageMagick fails.
inline std::string MakeBenchPhotos(const char* tool, const std::string& folder, int count, int width, int height)
{
    std::filesystem::create_directories(folder);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    for (int seed = 1; seed <= count; ++seed) {
        const std::string path = folder + "/photo" + std::to_string(seed) + ".jpg";
        if (std::filesystem::exists(path)) continue;
        std::printf("making %s (%s)\n", path.c_str(), size.c_str());
        const std::string command = "convert -seed " + std::to_string(seed) + " -size " + std::to_string(width / 8) +
                                    "x" + std::to_string(height / 8) + " plasma:fractal -resize " + size +
                                    "! -attenuate 0.4 +noise Gaussian -quality 90 " + path;
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "%s: ImageMagick failed for %s\n", tool, path.c_str());
            std::exit(1);
        }
    }
    return folder;
}
