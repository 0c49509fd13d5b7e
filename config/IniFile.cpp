#include "config/IniFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <utility>

namespace {

enum class ReadOutcome { ok, unreadable, tooLarge };

// Reads at most one byte beyond the cap, so that an endless source (a device,
// a pipe) costs no more memory than a file that is just too large.
ReadOutcome ReadWholeFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return ReadOutcome::unreadable;
    }
    text.resize(IniFile::kMaxFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        return ReadOutcome::unreadable;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text.size() > IniFile::kMaxFileBytes ? ReadOutcome::tooLarge : ReadOutcome::ok;
}

// Editors that save UTF-8 often put an invisible byte-order mark in front of
// the first line; it is not part of the first name.
std::size_t SkipByteOrderMark(std::string_view text)
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

// Splits like a text-mode stream: a CR directly before the LF belongs to the
// line end, a lone CR stays in the line, a last line without LF still counts.
bool NextLine(std::string_view text, std::size_t& pos, std::string& line)
{
    if (pos >= text.size()) {
        return false;
    }
    const std::size_t lineFeed = text.find('\n', pos);
    const bool endsWithLineFeed = lineFeed != std::string_view::npos;
    const std::size_t end = endsWithLineFeed ? lineFeed : text.size();
    line.assign(text.substr(pos, end - pos));
    if (endsWithLineFeed && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    pos = endsWithLineFeed ? lineFeed + 1 : text.size();
    return true;
}

// The classic-locale isprint range, widened to every byte from 0x80 up: those
// are the lead and continuation bytes of UTF-8 or code-page letters, never
// control characters, and a line that starts with one is still a name.
bool IsPrintable(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code >= 0x20 && code != 0x7F;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi's reading of a number, except that digit strings beyond the int range
// saturate at INT_MIN or INT_MAX instead of being undefined.
int ParseLeadingInt(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = std::min(limit, magnitude * 10 + (text[i] - '0'));
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

} // namespace

IniFile::IniFile(std::string filePath) : caseInsensitive(true), path(std::move(filePath)) {}

IniFile::~IniFile() = default;

bool IniFile::Load()
{
    std::string text;
    switch (ReadWholeFile(path, text)) {
    case ReadOutcome::unreadable:
    case ReadOutcome::tooLarge:
        return false;
    case ReadOutcome::ok:
        break;
    }
    return ReadLines(text);
}

bool IniFile::ReadLines(const std::string& text)
{
    std::string currentSection;
    std::string line;
    std::size_t pos = SkipByteOrderMark(text);
    while (NextLine(text, pos, line)) {
        if (line.empty()) {
            continue;
        }
        if (line.back() == '\r') {
            line.pop_back();
        }
        if (!ProcessLine(line, currentSection)) {
            return false;
        }
    }
    return !sectionNames.empty();
}

// A line that has become empty here was a lone CR; it fails like a C string
// whose first character is the terminator, with code 0.
bool IniFile::ProcessLine(const std::string& line, std::string& currentSection)
{
    const char first = line.empty() ? '\0' : line.front();
    if (!IsPrintable(first)) {
        std::printf("Failing on char %d\n", static_cast<int>(static_cast<signed char>(first)));
        return false;
    }
    const std::size_t p = line.find_first_of(";#[=");
    if (p == std::string::npos) {
        return true;
    }
    switch (line[p]) {
    case '[': {
        const std::size_t close = line.rfind(']');
        if (close != std::string::npos && close > p) {
            currentSection = line.substr(p + 1, close - p - 1);
            AddSection(currentSection);
        }
        break;
    }
    case '=':
        SetValue(currentSection, line.substr(0, p), line.substr(p + 1), true);
        break;
    default:
        AddComment(currentSection, line.substr(p + 1));
        break;
    }
    return true;
}

void IniFile::AddComment(const std::string& currentSection, const std::string& text)
{
    if (sectionNames.empty()) {
        headerComments.push_back(text);
    } else {
        AddSectionComment(currentSection, text);
    }
}

int IniFile::FindSection(const std::string& name) const { return FindFolded(sectionNames, name); }

int IniFile::FindKey(int section, const std::string& key) const
{
    return IsSectionIndex(section) ? FindFolded(sections[section].keyNames, key) : -1;
}

int IniFile::FindFolded(const std::vector<std::string>& names, const std::string& name) const
{
    const std::string wanted = FoldCase(name);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (FoldCase(names[i]) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IniFile::AddSection(const std::string& name)
{
    sectionNames.push_back(name);
    sections.emplace_back();
    return static_cast<int>(sections.size()) - 1;
}

bool IniFile::SetValue(const std::string& section, const std::string& key, const std::string& value, bool create)
{
    int s = FindSection(section);
    if (s < 0) {
        if (!create) {
            return false;
        }
        s = AddSection(section);
    }
    IniSection& target = sections[s];
    const int k = FindKey(s, key);
    if (k >= 0) {
        target.values[k] = value;
        return true;
    }
    if (!create) {
        return false;
    }
    target.keyNames.push_back(key);
    target.values.push_back(value);
    return true;
}

std::string IniFile::GetValue(const std::string& section, const std::string& key, const std::string& defaultText) const
{
    const int s = FindSection(section);
    const int k = FindKey(s, key);
    return k < 0 ? defaultText : sections[s].values[k];
}

// The default travels through its decimal text, so a missing key gives back
// exactly the default.
int IniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const
{
    return ParseLeadingInt(GetValue(section, key, std::to_string(defaultValue)));
}

bool IniFile::AddSectionComment(int section, const std::string& text)
{
    if (!IsSectionIndex(section)) {
        return false;
    }
    sections[section].comments.push_back(text);
    return true;
}

bool IniFile::AddSectionComment(const std::string& section, const std::string& text)
{
    const int s = FindSection(section);
    return s >= 0 && AddSectionComment(s, text);
}

std::string IniFile::FoldCase(const std::string& text) const
{
    std::string folded = text;
    if (caseInsensitive) {
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
    }
    return folded;
}

bool IniFile::IsSectionIndex(int section) const
{
    return section >= 0 && static_cast<std::size_t>(section) < sections.size();
}
