// Runs the regsvr program of the build (REGSVR_PATH) as a child process.
#pragma once

#include <cstdio>
#include <string>

#include <sys/wait.h>

struct ToolRun {
    int status = -1;
    std::string output; // standard output and error together
};

// `environment`: assignments for the command line, such as "NAME=value".
inline std::FILE* StartRegsvr(const std::string& arguments, const std::string& environment = "")
{
    const std::string command = environment + " " + REGSVR_PATH + " " + arguments + " 2>&1";
    return popen(command.c_str(), "r");
}

inline ToolRun FinishRegsvr(std::FILE* pipe)
{
    ToolRun run;
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline ToolRun Regsvr(const std::string& arguments) { return FinishRegsvr(StartRegsvr(arguments)); }
