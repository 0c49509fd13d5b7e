#include "picsource/PictureDate.h"

#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t WallSeconds(std::int64_t year, int month, int day, int hour, int minute, int second)
{
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

bool ReadBytes(std::FILE* file, std::uint8_t* to, std::size_t count) { return std::fread(to, 1, count, file) == count; }

} // namespace

PictureTime PictureDate::Modified(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {std::numeric_limits<std::int64_t>::max(), 0};
    return {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

bool PictureDate::ExifTaken(const std::string& path, xtpjpeg::ExifDateTime& date)
{
    const File file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    std::uint8_t head[4];
    if (!ReadBytes(file.get(), head, 2) || head[0] != 0xFF || head[1] != 0xD8) return false;
    long at = 2;
    std::vector<std::uint8_t> body;
    while (ReadBytes(file.get(), head, 4) && head[0] == 0xFF) {
        constexpr std::uint8_t kApp1 = 0xE1;
        constexpr std::uint8_t kStartOfScan = 0xDA;
        const std::uint8_t marker = head[1];
        const long length = (head[2] << 8) | head[3];
        if (marker == kStartOfScan || length < 2) return false;
        at += 2 + length;
        if (at > PictureDate::kMaxBytesRead) return false;
        if (marker == kApp1) {
            body.resize(static_cast<std::size_t>(length - 2));
            if (!ReadBytes(file.get(), body.data(), body.size())) return false;
            if (xtpjpeg::exifDateTaken(body.data(), body.size(), date)) return true;
        } else if (std::fseek(file.get(), at, SEEK_SET) != 0) {
            return false;
        }
    }
    return false;
}

PictureTime PictureDate::Taken(const std::string& path)
{
    xtpjpeg::ExifDateTime date;
    if (ExifTaken(path, date))
        return {WallSeconds(date.year, date.month, date.day, date.hour, date.minute, date.second), 0};
    const PictureTime modified = Modified(path);
    const std::time_t seconds = static_cast<std::time_t>(modified.seconds);
    std::tm local{};
    if (modified.seconds == std::numeric_limits<std::int64_t>::max() || !localtime_r(&seconds, &local)) return modified;
    return {WallSeconds(std::int64_t{local.tm_year} + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec),
            modified.nanoseconds};
}
