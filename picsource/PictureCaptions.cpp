#include "picsource/PictureCaptions.h"

#include "picsource/FileReadFailure.h"
#include "picsource/PictureDate.h"
#include "picsource/PictureFolder.h"
#include "picsource/ShowOptions.h"
#include "platform/base/WideText.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// WideFromUtf8 carries a byte that is not UTF-8 as a lone surrogate; each becomes
// U+FFFD. False when there was none.
bool ReplaceLoneSurrogates(std::u16string& text)
{
    bool replaced = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            text[i] = u'\uFFFD';
            replaced = true;
        }
    }
    return replaced;
}

bool IsUtf8(std::string_view line)
{
    std::u16string wide = WideFromUtf8(line);
    return !ReplaceLoneSurrogates(wide);
}

// A name that may hold bytes of another encoding, those shown as U+FFFD.
std::string DisplayText(std::u16string text)
{
    ReplaceLoneSurrogates(text);
    return Utf8FromWide(text);
}

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

// The whole file, refused beyond the cap; a FIFO or device is not waited on.
HRESULT ReadCapped(const std::string& path, std::string& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FileReadFailure(errno);
    struct stat info {};
    HRESULT hr = S_OK;
    if (fstat(fd, &info) != 0)
        hr = FileReadFailure(errno);
    else if (!S_ISREG(info.st_mode))
        hr = HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
    else if (info.st_size > PictureCaptions::kMaxFileBytes)
        hr = CAPTIONS_E_TOO_LARGE;
    char chunk[64 * 1024];
    while (SUCCEEDED(hr)) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) hr = FileReadFailure(errno);
        if (got <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
        // The file grew since it was looked at.
        if (bytes.size() > static_cast<std::size_t>(PictureCaptions::kMaxFileBytes)) hr = CAPTIONS_E_TOO_LARGE;
    }
    close(fd);
    return hr;
}

std::string DateText(const xtpjpeg::ExifDateTime& date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::u16string WithoutExtension(const std::u16string& name)
{
    constexpr std::size_t kExtensionLength = 4; // ".jpg"
    if (!PictureFolder::IsPictureName(name) || name.size() == kExtensionLength) return name;
    return name.substr(0, name.size() - kExtensionLength);
}

} // namespace

bool PictureCaptions::NameOrder::operator()(const std::u16string& a, const std::u16string& b) const
{
    return PictureFolder::ListsBefore(a, b);
}

HRESULT PictureCaptions::Parse(const std::string& bytes, Lines& lines)
{
    std::string_view rest(bytes);
    if (rest.substr(0, kByteOrderMark.size()) == kByteOrderMark) rest.remove_prefix(kByteOrderMark.size());
    for (long number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        badLine = number;
        if (!IsUtf8(line)) return CAPTIONS_E_NOT_UTF8;
        if (IsBlank(line) || line.front() == '#') continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0) return CAPTIONS_E_NO_TAB;
        std::string text(line.substr(tab + 1));
        for (char& c : text)
            if (c == '\t') c = ' ';
        if (!lines.emplace(WideFromUtf8(line.substr(0, tab)), std::move(text)).second) return CAPTIONS_E_DUPLICATE;
    }
    badLine = 0;
    return S_OK;
}

HRESULT PictureCaptions::Load(LONG caption, const std::u16string& captionFile)
{
    badLine = 0;
    if (caption < CaptionNone || caption > CaptionFromFile) return E_INVALIDARG;
    Lines lines;
    if (caption == CaptionFromFile) {
        if (captionFile.empty()) return E_INVALIDARG;
        std::string bytes;
        if (const HRESULT hr = ReadCapped(Utf8FromWide(captionFile), bytes); FAILED(hr)) return hr;
        if (const HRESULT hr = Parse(bytes, lines); FAILED(hr)) return hr;
    }
    kind = caption;
    byName = std::move(lines);
    return S_OK;
}

std::string PictureCaptions::TextFor(const std::u16string& folder, const std::u16string& name) const
{
    switch (kind) {
    case CaptionFileName:
        return DisplayText(WithoutExtension(name));
    case CaptionDate: {
        xtpjpeg::ExifDateTime date;
        return PictureDate::ExifTaken(Utf8FromWide(folder + name), date) ? DateText(date) : std::string();
    }
    case CaptionFromFile: {
        const auto found = byName.find(name);
        return found == byName.end() ? std::string() : found->second;
    }
    default:
        return {};
    }
}
