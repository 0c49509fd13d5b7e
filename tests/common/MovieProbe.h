// What ffprobe reads from a movie file: the container, its duration, each
// stream's codec, layout, duration and decoded frame count, and the video packets' times.
#pragma once

#include <map>
#include <string>
#include <vector>

// What a shell command writes on its standard output.
std::string CommandOutput(const std::string& command);
// The same, split at new lines.
std::vector<std::string> CommandLines(const std::string& command);

struct MovieProbe {
    bool readable = false;
    std::map<std::string, std::string> fields; // ffprobe's flat keys, e.g. "streams.stream.0.codec_name"
    std::vector<double> videoTimes;            // seconds, in file order

    static MovieProbe Of(const std::string& path);
    std::string Field(const std::string& key) const;
    double Duration() const;
    // The index of the first stream of this codec type ("video", "audio"); -1 if none.
    int StreamOf(const std::string& codecType) const;
    std::string StreamField(int stream, const std::string& name) const;
};
