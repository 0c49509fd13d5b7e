// The pictures of one folder: its "*.jpg" entries (the extension in any case) other
// than sub-folders, named by their bytes whatever their encoding, in the order
// Windows' default file system lists them (names compared case-insensitively, code
// unit by code unit).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class PictureFolder {
public:
    // The folder with one "/" added unless it already ends in one.
    static std::u16string WithSeparator(std::u16string_view folder);
    // The names (no folder) of the pictures in `folder`, which ends in a separator.
    static std::vector<std::u16string> List(const std::u16string& folder);
    static bool IsPictureName(std::u16string_view name);
    // Windows' directory order: upper-cased code units compared by value.
    static bool ListsBefore(std::u16string_view a, std::u16string_view b);
};
