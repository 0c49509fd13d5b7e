#include "FrameColours.h"

#include <cstdio>
#include <vector>

std::string FrameColours(const std::string& path, int width, int height)
{
    const std::string command = "ffmpeg -v error -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -";
    FILE* decoded = popen(command.c_str(), "r");
    if (!decoded) return "<no ffmpeg>";
    std::vector<unsigned char> frame(static_cast<std::size_t>(width) * height * 3);
    std::string colours;
    while (std::fread(frame.data(), 1, frame.size(), decoded) == frame.size()) {
        const unsigned char* centre = &frame[(static_cast<std::size_t>(height / 2) * width + width / 2) * 3];
        const char colour = centre[0] > centre[1] && centre[0] > centre[2] ? 'r' : centre[1] > centre[2] ? 'g' : 'b';
        if (colours.empty() || colours.back() != colour) colours += colour;
    }
    pclose(decoded);
    return colours;
}
