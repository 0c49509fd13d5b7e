// A chosen order of pictures as a file: UTF-8 text, one picture file name (no folder)
// per line, in the order the movie takes them; pictures of the folder not named are
// left out. Line ends may be LF or CR LF, a leading byte order mark and empty lines
// are passed over, and nothing else is special: a name is the line's bytes as they are.
#pragma once

#include <string>
#include <vector>

class PictureList {
public:
    // Larger files are refused: a list of 100,000 names is far smaller.
    static constexpr long long kMaxFileBytes = 16LL << 20;

    // False, `problem` saying why in the user's language, when the file cannot be read
    // or names no picture.
    static bool Read(const std::string& path, std::vector<std::u16string>& names, std::string& problem);
};
