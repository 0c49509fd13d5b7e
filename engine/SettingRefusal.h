// The warning for a settings value no movie can be made with, shared by every key
// that takes a number: "Quality=-5 is outside 8000..50000000; 185000 is used".
#pragma once

#include <cstdint>
#include <string>

class SettingRefusal {
public:
    static std::string OutOfRange(const char* key, std::int64_t value, std::int64_t lowest, std::int64_t highest,
                                  std::int64_t used);
};
