#include "tests/common/MovieProbe.h"

#include <cstdio>
#include <memory>

std::string CommandOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return {};
    std::string output;
    char buffer[4096];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, read);
    return output;
}

std::vector<std::string> CommandLines(const std::string& command)
{
    const std::string text = CommandOutput(command);
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        lines.push_back(text.substr(begin, end - begin));
    }
    return lines;
}

MovieProbe MovieProbe::Of(const std::string& path)
{
    MovieProbe probe;
    const std::string quoted = "'" + path + "'";
    const std::vector<std::string> flat =
        CommandLines("ffprobe -v error -of flat -show_entries "
                     "format=format_name,duration:stream=codec_type,codec_name,width,height,"
                     "sample_rate,channels,duration,profile,pix_fmt,avg_frame_rate,nb_read_frames -count_frames " +
                     quoted + " 2>/dev/null");
    for (const std::string& line : flat) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        probe.fields[line.substr(0, equals)] = value;
    }
    probe.readable = probe.fields.count("format.format_name") > 0;
    const std::vector<std::string> times = CommandLines(
        "ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 " + quoted + " 2>/dev/null");
    for (const std::string& line : times) {
        if (!line.empty()) probe.videoTimes.push_back(std::stod(line));
    }
    return probe;
}

std::string MovieProbe::Field(const std::string& key) const
{
    const auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
}

double MovieProbe::Duration() const
{
    const std::string text = Field("format.duration");
    return text.empty() || text == "N/A" ? -1 : std::stod(text);
}

int MovieProbe::StreamOf(const std::string& codecType) const
{
    for (int stream = 0; fields.count("streams.stream." + std::to_string(stream) + ".codec_type"); ++stream) {
        if (StreamField(stream, "codec_type") == codecType) return stream;
    }
    return -1;
}

std::string MovieProbe::StreamField(int stream, const std::string& name) const
{
    return Field("streams.stream." + std::to_string(stream) + "." + name);
}
