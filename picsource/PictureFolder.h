// The pictures of one folder: its "*.jpg" entries (the extension in any case) other
// than sub-folders, named by their bytes whatever their encoding, in the order
// Windows' default file system lists them (names compared case-insensitively, code
// unit by code unit), or in another order of the user's choosing.
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
    // Natural order: as ListsBefore, but a run of ASCII digits compares as the number it
    // writes, of any length ("2" before "10", "007" as "7"). Names that differ only in
    // leading zeros or in case are equal.
    static bool NamesBefore(std::u16string_view a, std::u16string_view b);
    // `listed` (names of pictures in `folder`, as List gives them) in the PictureOrder
    // `order`; equal pictures keep their listed order.
    static std::vector<std::u16string> Ordered(const std::u16string& folder, const std::vector<std::u16string>& listed,
                                               long order);
};
