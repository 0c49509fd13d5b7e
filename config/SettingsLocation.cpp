#include "config/SettingsLocation.h"

#include <cstdlib>
#include <filesystem>

std::string SettingsLocation::UserFile()
{
    // XDG Base Directory rules: a relative XDG_CONFIG_HOME is ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/reelsmith/config.ini";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.config/reelsmith/config.ini";
    return {};
}

std::string SettingsLocation::Resolve(const std::string& templatePath)
{
    std::error_code error;
    if (std::filesystem::exists(kCurrentFolderFile, error)) return kCurrentFolderFile;
    const std::string user = UserFile();
    if (user.empty()) return kCurrentFolderFile;
    if (!std::filesystem::exists(user, error) && !templatePath.empty() &&
        std::filesystem::is_regular_file(templatePath, error)) {
        std::filesystem::create_directories(std::filesystem::path(user).parent_path(), error);
        if (!error) std::filesystem::copy_file(templatePath, user, error);
    }
    return user;
}
