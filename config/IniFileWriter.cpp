#include "config/IniFileWriter.h"

#include "config/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string Folded(const std::string& text)
{
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// One line of the file as the reader sees it, and the bytes that end it.
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> SplitLines(const std::string& text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t feed = text.find('\n', pos);
        const std::size_t stop = feed == std::string::npos ? text.size() : feed;
        Line line{text.substr(pos, stop - pos), feed == std::string::npos ? "" : "\n"};
        if (!line.end.empty() && !line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.end = "\r\n";
        }
        lines.push_back(std::move(line));
        pos = feed == std::string::npos ? text.size() : feed + 1;
    }
    return lines;
}

// What a reader makes of a line: a section header (its name), a key (name and where
// its value starts) or neither.
struct Reading {
    enum Kind { Other, Section, Key } kind = Other;
    std::string name;
    std::size_t valueAt = 0;
};

Reading Read(const std::string& line)
{
    const std::size_t p = line.find_first_of(";#[=");
    if (p == std::string::npos || line[p] == ';' || line[p] == '#') return {};
    if (line[p] == '[') {
        const std::size_t close = line.rfind(']');
        if (close == std::string::npos || close <= p) return {};
        return {Reading::Section, line.substr(p + 1, close - p - 1), 0};
    }
    return {Reading::Key, line.substr(0, p), p + 1};
}

// The value's first word, as the reader's numbers and words end, replaced; what
// follows it (spaces and a comment) stays.
std::string ReplacedValue(const std::string& line, std::size_t valueAt, const std::string& value)
{
    const std::size_t wordEnd = line.find_first_of(" \t;#", valueAt);
    return line.substr(0, valueAt) + value + (wordEnd == std::string::npos ? "" : line.substr(wordEnd));
}

bool ReadExisting(const std::string& path, std::string& text, std::string& problem)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = std::strerror(errno);
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (text.size() > IniFile::kMaxFileBytes) {
        problem = std::strerror(EFBIG);
        return false;
    }
    return true;
}

bool WriteAll(int descriptor, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// The new text beside the target, flushed, renamed over it.
bool ReplaceFile(const std::filesystem::path& target, const std::string& text, std::string& problem)
{
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        problem = std::strerror(errno);
        return false;
    }
    struct stat old {};
    const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = fchmod(descriptor, mode) == 0 && WriteAll(descriptor, text) && fsync(descriptor) == 0;
    if (!ok) problem = std::strerror(errno);
    if (close(descriptor) != 0 && ok) {
        problem = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        problem = std::strerror(errno);
        ok = false;
    }
    if (!ok) unlink(temporary.c_str());
    return ok;
}

} // namespace

IniFileWriter::IniFileWriter(std::string file) : path(std::move(file)) {}

void IniFileWriter::Set(const std::string& section, const std::string& key, const std::string& value)
{
    Store(section, key, value, true);
}

void IniFileWriter::Replace(const std::string& section, const std::string& key, const std::string& value)
{
    Store(section, key, value, false);
}

void IniFileWriter::Store(const std::string& section, const std::string& key, const std::string& value, bool added)
{
    for (Change& change : changes) {
        if (Folded(change.section) == Folded(section) && Folded(change.key) == Folded(key)) {
            change.value = value;
            change.added = added;
            return;
        }
    }
    changes.push_back({section, key, value, added});
}

std::string IniFileWriter::Apply(const std::string& text) const
{
    std::vector<Line> lines = SplitLines(text);
    const std::string lineEnd = !lines.empty() && lines.front().end == "\r\n" ? "\r\n" : "\n";
    std::vector<bool> written(changes.size(), false);
    // Per change's section: the line after which its missing keys go (the section's
    // last key line, else its header); npos while the section has not been seen.
    std::vector<std::size_t> sectionEnd(changes.size(), std::string::npos);
    std::string section;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t skip = i == 0 && lines[i].text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
        Reading reading = Read(lines[i].text.substr(skip));
        reading.valueAt += skip;
        if (reading.kind == Reading::Section) section = reading.name;
        if (reading.kind == Reading::Other) continue;
        for (std::size_t c = 0; c < changes.size(); ++c) {
            if (Folded(changes[c].section) != Folded(section)) continue;
            if (sectionEnd[c] == std::string::npos || reading.kind == Reading::Key) sectionEnd[c] = i;
            if (reading.kind != Reading::Key || Folded(reading.name) != Folded(changes[c].key)) continue;
            lines[i].text = ReplacedValue(lines[i].text, reading.valueAt, changes[c].value);
            written[c] = true;
        }
    }
    // Missing keys go after their section's last key, in the order they were set;
    // sections the file lacks go at its end.
    std::map<std::size_t, std::vector<std::string>, std::greater<>> insertions;
    std::vector<std::pair<std::string, std::vector<std::string>>> newSections;
    for (std::size_t c = 0; c < changes.size(); ++c) {
        if (written[c] || !changes[c].added) continue;
        const std::string line = changes[c].key + "=" + changes[c].value;
        if (sectionEnd[c] != std::string::npos) {
            insertions[sectionEnd[c]].push_back(line);
            continue;
        }
        auto known = std::find_if(newSections.begin(), newSections.end(),
                                  [&](const auto& added) { return Folded(added.first) == Folded(changes[c].section); });
        if (known == newSections.end()) known = newSections.insert(newSections.end(), {changes[c].section, {}});
        known->second.push_back(line);
    }
    for (const auto& [after, added] : insertions) {
        if (lines[after].end.empty()) lines[after].end = lineEnd;
        auto place = lines.begin() + static_cast<std::ptrdiff_t>(after) + 1;
        for (const std::string& line : added) place = lines.insert(place, Line{line, lineEnd}) + 1;
    }
    if (!newSections.empty() && !lines.empty() && lines.back().end.empty()) lines.back().end = lineEnd;
    for (const auto& [name, keys] : newSections) {
        lines.push_back({"[" + name + "]", lineEnd});
        for (const std::string& key : keys) lines.push_back({key, lineEnd});
    }
    std::string result;
    for (const Line& line : lines) result += line.text + line.end;
    return result;
}

bool IniFileWriter::Save(std::string& problem) const
{
    std::error_code error;
    std::filesystem::path target(path);
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, error)))
        target = std::filesystem::canonical(target, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        problem = error.message();
        return false;
    }
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), error);
        if (error) {
            problem = error.message();
            return false;
        }
    }
    std::string text;
    if (!ReadExisting(target.string(), text, problem)) return false;
    return ReplaceFile(target.has_parent_path() ? target : std::filesystem::path(".") / target, Apply(text), problem);
}
