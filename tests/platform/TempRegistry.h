// Points the registry at a fresh temporary file for the life of a test, with a machine-wide
// file beside it that is missing until a test writes it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

class TempRegistry {
public:
    TempRegistry()
    {
        char pattern[] = "/tmp/reelsmith-registry-XXXXXX";
        folder = mkdtemp(pattern);
        path = folder / "registry.reg";
        machinePath = folder / "machine.reg";
        setenv("REELSMITH_REGISTRY", path.c_str(), 1);
        setenv("REELSMITH_MACHINE_REGISTRY", machinePath.c_str(), 1);
    }
    ~TempRegistry()
    {
        unsetenv("REELSMITH_REGISTRY");
        unsetenv("REELSMITH_MACHINE_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::string Text() const
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Write(const std::string& text) const { std::ofstream(path) << text; }
    void WriteMachine(const std::string& text) const { std::ofstream(machinePath) << text; }
    const std::filesystem::path& Path() const { return path; }
    const std::filesystem::path& MachinePath() const { return machinePath; }

private:
    std::filesystem::path folder;
    std::filesystem::path path;
    std::filesystem::path machinePath;
};
