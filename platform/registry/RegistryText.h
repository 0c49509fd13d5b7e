// The REGEDIT4 export text of a registry tree:
//
//   REGEDIT4
//
//   [HKEY_CLASSES_ROOT\CLSID\{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}]
//   @="XTP_Pic"
//   "Name"="text with \\ and \" escaped"
//   "Count"=dword:0000000a
//   "Bytes"=hex:01,02
//   "Other"=hex(7):61,00,00
//
// Strings are UTF-8. A string that cannot stand between quotes on one line (control
// characters, ill-formed UTF-8) is written as hex(1): its bytes and a terminating zero.
// Reading also takes CR LF line ends, a UTF-8 byte-order mark, ';' comments, hex lists
// continued with a trailing backslash and repeated sections of one key.
#pragma once

#include "platform/registry/RegistryTree.h"

#include <optional>
#include <string>
#include <string_view>

class RegistryText {
public:
    // Text that is empty or only white space is an empty registry; anything that is not
    // well-formed answers nothing, and `problem` gets the line and what is wrong with it.
    static std::optional<RegistryTree> Parse(std::string_view text, std::string* problem = nullptr);
    static std::string Format(const RegistryTree& tree);
    // Whether a full key path or a value name can be written and read back: names without
    // control characters, in well-formed UTF-8, within the published limits (key names up to
    // 255 characters, 512 levels; value names up to 16383 characters).
    static bool IsWritableKeyPath(std::string_view path);
    static bool IsWritableValueName(std::string_view name);
};
