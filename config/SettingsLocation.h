#pragma once

#include <string>

// Where the window's settings live. A config.ini in the current folder wins, as it
// always has; without one the user's own file is read and written,
// $XDG_CONFIG_HOME/reelsmith/config.ini (~/.config/reelsmith/config.ini). A user who
// has neither gets a copy of the installed template as that file, the first time.
class SettingsLocation {
public:
    static constexpr const char* kCurrentFolderFile = "config.ini";

    // The user's file; empty when neither XDG_CONFIG_HOME nor HOME is set.
    static std::string UserFile();
    // The file to read and write: "config.ini" when the current folder has one, else
    // UserFile(), first copied from `templatePath` when it does not exist (a missing or
    // unreadable template leaves it missing: the built-in defaults hold).
    static std::string Resolve(const std::string& templatePath);
};
