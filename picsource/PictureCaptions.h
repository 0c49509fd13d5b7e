// The caption of each picture as UTF-8 text: none, its file name, the date it was
// taken, or its line of a captions file.
//
// File name: the name without its folder and without its ".jpg" extension, as a user
// names the photo ("Beach at dusk.jpg" reads "Beach at dusk").
// Date: the Exif date taken as YYYY-MM-DD ("2024-05-01"), the same in every language;
// nothing for a picture without one (the file's time says when it was copied, not
// when it was taken).
// Captions file: UTF-8, a byte order mark allowed, one "name<TAB>text" a line, LF or
// CRLF; blank lines and lines starting with "#" are skipped. Names compare as the
// picture folder compares them (without letter case); a picture not listed has no
// caption.
#pragma once

#include "platform/com/Com.h"

#include <map>
#include <string>

// Why a captions file was refused. LastBadLine names the line for the last three.
constexpr HRESULT CAPTIONS_E_TOO_LARGE = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
constexpr HRESULT CAPTIONS_E_NOT_UTF8 = HRESULT_FROM_WIN32(1113); // ERROR_NO_UNICODE_TRANSLATION
constexpr HRESULT CAPTIONS_E_NO_TAB = HRESULT_FROM_WIN32(13);     // ERROR_INVALID_DATA
constexpr HRESULT CAPTIONS_E_DUPLICATE = HRESULT_FROM_WIN32(52);  // ERROR_DUP_NAME

class PictureCaptions {
public:
    static constexpr long kMaxFileBytes = 4 * 1024 * 1024;

    // `caption` is a ShowCaption; `captionFile` is read only for CaptionFromFile. On
    // failure the captions in force before stay as they were: E_INVALIDARG for an
    // unknown kind or an empty file name, the open or read error of the file
    // (HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
    // ERROR_BAD_FILE_TYPE for a folder or device, ERROR_READ_FAULT: see FileReadFailure), or a
    // CAPTIONS_E_* code.
    HRESULT Load(LONG caption, const std::u16string& captionFile);
    // The 1-based line of the captions file that the last Load refused; 0 when it
    // refused no line.
    long LastBadLine() const { return badLine; }
    // Empty for no caption. `folder` ends in a separator.
    std::string TextFor(const std::u16string& folder, const std::u16string& name) const;

private:
    struct NameOrder {
        bool operator()(const std::u16string& a, const std::u16string& b) const;
    };
    using Lines = std::map<std::u16string, std::string, NameOrder>;

    HRESULT Parse(const std::string& bytes, Lines& lines);

    LONG kind = 0;
    Lines byName;
    long badLine = 0;
};
