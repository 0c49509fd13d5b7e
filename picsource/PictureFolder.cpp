#include "picsource/PictureFolder.h"

#include "picsource/PictureDate.h"
#include "picsource/PictureOptions.h"
#include "platform/base/WideText.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// Upper case as Windows' file system compares names, for the scripts photographs are
// commonly named in: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic. Independent
// of the process's locale.
char16_t UpperUnit(char16_t unit)
{
    const auto shifted = [unit](int by) { return static_cast<char16_t>(unit - by); };
    if (unit >= u'a' && unit <= u'z') return shifted(0x20);
    if (unit < 0xE0) return unit;
    if (unit <= 0xFE) return unit == 0xF7 ? unit : shifted(0x20);
    if (unit == 0xFF) return 0x178;
    if (unit >= 0x100 && unit <= 0x137) return unit & 1 ? shifted(1) : unit;
    if (unit >= 0x139 && unit <= 0x148) return unit & 1 ? unit : shifted(1);
    if (unit >= 0x14A && unit <= 0x177) return unit & 1 ? shifted(1) : unit;
    if (unit >= 0x179 && unit <= 0x17E) return unit & 1 ? unit : shifted(1);
    if (unit >= 0x3B1 && unit <= 0x3CB && unit != 0x3C2) return shifted(0x20);
    if (unit >= 0x430 && unit <= 0x44F) return shifted(0x20);
    if (unit >= 0x450 && unit <= 0x45F) return shifted(0x50);
    return unit;
}

// Folders (and links to them) are passed over as Windows passes over entries with the
// directory attribute. Every other entry is listed, a FIFO, a socket or a broken link
// included: reading it fails, and the user is told which picture was left out and why.
bool IsFolder(const std::string& path, unsigned char type)
{
    if (type == DT_DIR) return true;
    if (type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// The digit run that starts at `at`, without its leading zeros; `at` moves past it.
std::u16string_view DigitRun(std::u16string_view name, std::size_t& at)
{
    while (at + 1 < name.size() && name[at] == u'0' && IsDigit(name[at + 1])) ++at;
    const std::size_t start = at;
    while (at < name.size() && IsDigit(name[at])) ++at;
    return name.substr(start, at - start);
}

// <0, 0 or >0 as `a` comes before, with or after `b` in natural order.
int CompareNaturally(std::u16string_view a, std::u16string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::u16string_view x = DigitRun(a, i);
            const std::u16string_view y = DigitRun(b, j);
            // Without leading zeros the longer run is the larger number.
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (const int digits = x.compare(y); digits != 0) return digits;
            continue;
        }
        const char16_t x = UpperUnit(a[i++]);
        const char16_t y = UpperUnit(b[j++]);
        if (x != y) return x < y ? -1 : 1;
    }
    return (i < a.size()) - (j < b.size());
}

struct TimedName {
    PictureTime time;
    const std::u16string* name;
};

std::vector<std::u16string> ByTime(const std::u16string& folder, const std::vector<std::u16string>& listed,
                                   PictureTime (*timeOf)(const std::string&))
{
    std::vector<TimedName> timed;
    timed.reserve(listed.size());
    for (const std::u16string& name : listed) timed.push_back({timeOf(Utf8FromWide(folder + name)), &name});
    std::stable_sort(timed.begin(), timed.end(), [](const TimedName& a, const TimedName& b) {
        if (a.time != b.time) return a.time < b.time;
        return CompareNaturally(*a.name, *b.name) < 0;
    });
    std::vector<std::u16string> names;
    names.reserve(timed.size());
    for (const TimedName& entry : timed) names.push_back(*entry.name);
    return names;
}

} // namespace

std::u16string PictureFolder::WithSeparator(std::u16string_view folder)
{
    std::u16string result(folder);
    if (result.empty() || result.back() != u'/') result += u'/';
    return result;
}

bool PictureFolder::IsPictureName(std::u16string_view name)
{
    constexpr std::u16string_view kExtension = u".JPG";
    if (name.size() < kExtension.size()) return false;
    const auto tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char16_t a, char16_t b) { return UpperUnit(a) == b; });
}

bool PictureFolder::ListsBefore(std::u16string_view a, std::u16string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return UpperUnit(x) < UpperUnit(y); });
}

std::vector<std::u16string> PictureFolder::List(const std::u16string& folder)
{
    std::vector<std::u16string> names;
    const std::string path = Utf8FromWide(folder);
    DIR* directory = opendir(path.c_str());
    if (!directory) return names;
    while (const dirent* entry = readdir(directory)) {
        std::u16string name = WideFromUtf8(entry->d_name);
        if (!IsPictureName(name) || IsFolder(path + entry->d_name, entry->d_type)) continue;
        names.push_back(std::move(name));
    }
    closedir(directory);
    std::sort(names.begin(), names.end(),
              [](const std::u16string& a, const std::u16string& b) { return ListsBefore(a, b); });
    return names;
}

bool PictureFolder::NamesBefore(std::u16string_view a, std::u16string_view b) { return CompareNaturally(a, b) < 0; }

std::vector<std::u16string> PictureFolder::Ordered(const std::u16string& folder,
                                                   const std::vector<std::u16string>& listed, long order)
{
    switch (order) {
    case OrderName: {
        std::vector<std::u16string> names = listed;
        std::stable_sort(names.begin(), names.end(),
                         [](const std::u16string& a, const std::u16string& b) { return NamesBefore(a, b); });
        return names;
    }
    case OrderDate:
        return ByTime(folder, listed, PictureDate::Taken);
    case OrderTime:
        return ByTime(folder, listed, PictureDate::Modified);
    default:
        return listed;
    }
}
