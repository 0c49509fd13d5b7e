#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The keys and comments of one [section]. The three lists keep file order;
// keyNames and values run in parallel.
struct IniSection {
    std::vector<std::string> keyNames;
    std::vector<std::string> values;
    std::vector<std::string> comments;
};

// Read-only reader for classic INI files ([section] headers, key=value lines,
// ';' and '#' comments). Names are looked up with ASCII case folding, the first
// match wins; values come back byte for byte as written.
class IniFile {
public:
    // A file larger than this is refused as a whole: a settings file is a few
    // hundred bytes, and the cap keeps a device or a runaway file from filling
    // memory or making the linear lookups crawl. The refusal is silent, as for a missing
    // file: a front end that tells its user compares the file's size with this.
    static constexpr std::size_t kMaxFileBytes = 64 * 1024;

    explicit IniFile(std::string path);
    virtual ~IniFile();

    bool Load();

    int FindSection(const std::string& name) const;
    int FindKey(int section, const std::string& key) const;
    int AddSection(const std::string& name);

    bool SetValue(const std::string& section, const std::string& key, const std::string& value, bool create);
    std::string GetValue(const std::string& section, const std::string& key, const std::string& defaultText) const;
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;

    bool AddSectionComment(int section, const std::string& text);
    bool AddSectionComment(const std::string& section, const std::string& text);

    std::string FoldCase(const std::string& text) const;

    const std::string& Path() const { return path; }
    const std::vector<IniSection>& Sections() const { return sections; }
    const std::vector<std::string>& SectionNames() const { return sectionNames; }
    const std::vector<std::string>& HeaderComments() const { return headerComments; }

private:
    bool ReadLines(const std::string& text);
    bool ProcessLine(const std::string& line, std::string& currentSection);
    void AddComment(const std::string& currentSection, const std::string& text);
    int FindFolded(const std::vector<std::string>& names, const std::string& name) const;
    bool IsSectionIndex(int section) const;

    bool caseInsensitive;
    std::string path;
    std::vector<IniSection> sections;
    std::vector<std::string> sectionNames;
    std::vector<std::string> headerComments;
};
