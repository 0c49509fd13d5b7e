#include "engine/PictureList.h"

#include "platform/base/WideText.h"
#include "platform/resource/UiText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string Said(const char* format, const std::string& path, const char* detail = "")
{
    char text[512];
    std::snprintf(text, sizeof text, UiTextUtf8("PictureList", format).c_str(), path.c_str(), detail);
    return text;
}

} // namespace

bool PictureList::Read(const std::string& path, std::vector<std::u16string>& names, std::string& problem)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        problem = Said(UI_TEXT_NOOP("PictureList", "写真の一覧 %s を読めません (%s)"), path, std::strerror(errno));
        return false;
    }
    if (static_cast<long long>(file.tellg()) > kMaxFileBytes) {
        problem = Said(UI_TEXT_NOOP("PictureList", "写真の一覧 %s は大きすぎます (16 MB まで)"), path);
        return false;
    }
    file.seekg(0);
    std::ostringstream whole;
    whole << file.rdbuf();
    std::string text = whole.str();
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    names.clear();
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) names.push_back(WideFromUtf8(line));
    }
    if (names.empty()) {
        problem = Said(UI_TEXT_NOOP("PictureList", "写真の一覧 %s に写真の名前がありません"), path);
        return false;
    }
    return true;
}
