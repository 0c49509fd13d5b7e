#pragma once

#include <string>
#include <vector>

// Changes keys of an INI file in place, for settings a program writes back. The file's
// other lines (keys, sections, comments, blank lines, line ends) stay byte for byte;
// a changed key keeps what follows its value ("width=640   ; pixels" keeps its comment);
// a key the file lacks is added at the end of its section, a section it lacks at the
// end of the file. Names are matched as IniFile matches them (ASCII case folded), and
// every line IniFile would read for the key is changed, so the new value is what the
// reader sees.
class IniFileWriter {
public:
    explicit IniFileWriter(std::string path);

    void Set(const std::string& section, const std::string& key, const std::string& value);
    // As Set where the file has the key; a file without it stays without (a setting at
    // its default that the file never named).
    void Replace(const std::string& section, const std::string& key, const std::string& value);

    // Writes the file anew beside the old one and renames it over it, keeping its
    // permissions (a link is followed to the file it names); a missing file, and its
    // folder, are made. False when it cannot be written, with the system's reason in
    // `problem`: the old file is then untouched.
    bool Save(std::string& problem) const;

    // The text `Save` would write over `text`.
    std::string Apply(const std::string& text) const;

private:
    struct Change {
        std::string section;
        std::string key;
        std::string value;
        bool added; // when the file lacks the key
    };
    void Store(const std::string& section, const std::string& key, const std::string& value, bool added);

    std::string path;
    std::vector<Change> changes;
};
