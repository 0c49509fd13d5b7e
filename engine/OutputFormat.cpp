#include "engine/OutputFormat.h"

#include "platform/resource/UiText.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace {

constexpr std::array<const char*, 4> kWords{"", "wmv", "mp4", "webm"};

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string OutputFormat::Word(std::int32_t format)
{
    return format > None && format <= Webm ? kWords[static_cast<std::size_t>(format)] : "";
}

bool OutputFormat::Parse(const std::string& text, std::int32_t& format, std::string& refusal)
{
    const std::string word = text.substr(0, text.find_first_of(" \t;#"));
    for (std::int32_t candidate = Wmv; candidate <= Webm; ++candidate) {
        if (Lower(word) == kWords[static_cast<std::size_t>(candidate)]) {
            format = candidate;
            return true;
        }
    }
    char said[256];
    std::snprintf(said, sizeof said,
                  UiTextUtf8("OutputFormat",
                             "%s=%s は wmv、mp4、または webm のどれでもありません。出力ファイル名の拡張子で決めます")
                      .c_str(),
                  kKey, word.c_str());
    refusal = said;
    return false;
}

std::string OutputFormat::WithExtension(const std::string& name, std::int32_t format)
{
    const std::size_t slash = name.find_last_of('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    // A leading dot names a hidden file, not an extension.
    const bool hasExtension = last.find('.', 1) != std::string::npos;
    if (hasExtension || Word(format).empty() || last.empty()) return name;
    return name + "." + Word(format);
}
