// The window's bitmaps and icon, embedded in the program and looked up by
// their resource numbers.
#pragma once

#include <QIcon>
#include <QImage>

class Artwork {
public:
    // A null image when the number names no bitmap.
    static QImage Bitmap(int id);
    static QIcon Icon(int id);
};
