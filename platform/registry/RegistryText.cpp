#include "platform/registry/RegistryText.h"

#include "platform/base/WideText.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kWhiteSpace = " \t\r";

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(Trim(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

bool HasControlCharacter(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

bool IsWellFormedUtf8(std::string_view text)
{
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii || Utf8FromWide(WideFromUtf8(text)) == text;
}

// Text values end at their first zero byte, as they do when set through the calls.
void CutAtTerminator(std::vector<BYTE>& text) { text.erase(std::find(text.begin(), text.end(), BYTE{0}), text.end()); }

constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxKeyLevels = 512;
constexpr std::size_t kMaxValueNameChars = 16383;

bool IsWritableText(std::string_view text) { return !HasControlCharacter(text) && IsWellFormedUtf8(text); }

// A name never has more UTF-16 characters than UTF-8 bytes, so most need no conversion.
bool IsWritableName(std::string_view name, std::size_t maxChars)
{
    return !name.empty() && IsWritableText(name) && (name.size() <= maxChars || WideFromUtf8(name).size() <= maxChars);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, nothing else.
std::optional<DWORD> ParseHexNumber(std::string_view text)
{
    if (text.empty() || text.size() > 8) return std::nullopt;
    DWORD number = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        number = number << 4 | static_cast<DWORD>(digit);
    }
    return number;
}

// "01,ab,ff": two hex digits per byte, optional blanks around the commas.
std::optional<std::vector<BYTE>> ParseHexBytes(std::string_view text)
{
    std::vector<BYTE> bytes;
    text = Trim(text);
    if (text.empty()) return bytes;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(',', start);
        const std::string_view item = Trim(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (item.size() != 2) return std::nullopt;
        const auto value = ParseHexNumber(item);
        if (!value) return std::nullopt;
        bytes.push_back(static_cast<BYTE>(*value));
        if (end == std::string_view::npos) return bytes;
        start = end + 1;
    }
}

// Reads a quoted string at text[pos] ('"'), undoing the \\ and \" escapes; pos ends after
// the closing quote.
std::optional<std::string> ParseQuoted(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\') {
            if (++pos >= text.size() || (text[pos] != '\\' && text[pos] != '"')) return std::nullopt;
        }
        out += text[pos];
    }
    return std::nullopt;
}

std::string Quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string HexList(const std::vector<BYTE>& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
    }
    return out;
}

std::string HexTypeTag(DWORD type)
{
    char tag[24];
    std::snprintf(tag, sizeof tag, "hex(%x):", static_cast<unsigned>(type));
    return tag;
}

std::string FormatData(const RegistryValue& value)
{
    if (value.type == REG_SZ) {
        const std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size());
        if (IsWritableText(text)) return Quote(text);
        std::vector<BYTE> terminated = value.data;
        terminated.push_back(0);
        return HexTypeTag(REG_SZ) + HexList(terminated);
    }
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        std::memcpy(&number, value.data.data(), sizeof number);
        char text[20];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        return text;
    }
    if (value.type == REG_BINARY) return "hex:" + HexList(value.data);
    return HexTypeTag(value.type) + HexList(value.data);
}

class Parser {
public:
    explicit Parser(std::string_view text) : textLines(SplitLines(text)) {}

    std::optional<RegistryTree> Run();
    // "line N: what is wrong" once Run has answered nothing.
    const std::string& Problem() const { return lastProblem; }

private:
    bool ParseSection(std::string_view line);
    bool ParseValue(std::string_view line);
    std::optional<std::vector<BYTE>> ParseHexData(std::string_view first);
    bool ParseData(std::string_view text, RegistryValue& value);
    // Notes what is wrong with the line last read; answers false.
    bool Fail(std::string_view what);

    std::vector<std::string_view> textLines;
    std::size_t nextLine = 0;
    RegistryTree parsedTree;
    std::string currentSection;
    std::string lastProblem;
};

bool Parser::Fail(std::string_view what)
{
    lastProblem = "line " + std::to_string(nextLine) + ": " + std::string(what);
    return false;
}

std::optional<RegistryTree> Parser::Run()
{
    while (nextLine < textLines.size() && textLines[nextLine].empty()) ++nextLine;
    if (nextLine == textLines.size()) return parsedTree;
    if (textLines[nextLine++] != kHeader) {
        Fail("the file does not start with REGEDIT4");
        return std::nullopt;
    }
    while (nextLine < textLines.size()) {
        const std::string_view line = textLines[nextLine++];
        if (line.empty() || line.front() == ';') continue;
        const bool ok = line.front() == '[' ? ParseSection(line) : ParseValue(line);
        if (!ok) return std::nullopt;
    }
    return std::move(parsedTree);
}

bool Parser::ParseSection(std::string_view line)
{
    if (line.back() != ']') return Fail("a key name without its closing \"]\"");
    const std::string_view path = line.substr(1, line.size() - 2);
    if (!RegistryTree::IsRoot(path.substr(0, path.find(RegistryTree::kSeparator))))
        return Fail("a key under none of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE");
    if (!RegistryText::IsWritableKeyPath(path))
        return Fail("a key name that is empty, too long or too deep, or holds control characters");
    auto created = parsedTree.CreateKey(path);
    if (!created) return Fail("more key names than a registry file may hold");
    currentSection = std::move(*created);
    return true;
}

bool Parser::ParseValue(std::string_view line)
{
    if (currentSection.empty()) return Fail("a value before any key");
    RegistryValue value;
    std::size_t pos = 0;
    if (line.front() == '@') {
        pos = 1;
    } else {
        auto name = ParseQuoted(line, pos);
        if (!name || !RegistryText::IsWritableValueName(*name)) return Fail("a malformed value name");
        value.name = std::move(*name);
    }
    pos = line.find_first_not_of(kWhiteSpace, pos);
    if (pos == std::string_view::npos || line[pos] != '=') return Fail("a value name without \"=\"");
    if (!ParseData(Trim(line.substr(pos + 1)), value)) return Fail("malformed value data");
    parsedTree.SetValue(currentSection, std::move(value));
    return true;
}

// A hex list may go on over further lines, each line but the last ending in a backslash.
std::optional<std::vector<BYTE>> Parser::ParseHexData(std::string_view first)
{
    std::string joined(first);
    while (!joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        if (nextLine == textLines.size()) return std::nullopt;
        joined.append(textLines[nextLine++]);
    }
    return ParseHexBytes(joined);
}

bool Parser::ParseData(std::string_view text, RegistryValue& value)
{
    if (text.starts_with('"')) {
        std::size_t pos = 0;
        auto string = ParseQuoted(text, pos);
        if (!string || pos != text.size()) return false;
        value.type = REG_SZ;
        value.data.assign(string->begin(), string->end());
        CutAtTerminator(value.data);
        return true;
    }
    if (text.starts_with("dword:")) {
        const auto number = ParseHexNumber(text.substr(6));
        if (!number) return false;
        value.type = REG_DWORD;
        value.data.resize(sizeof(DWORD));
        std::memcpy(value.data.data(), &*number, sizeof(DWORD));
        return true;
    }
    std::string_view list;
    if (text.starts_with("hex:")) {
        value.type = REG_BINARY;
        list = text.substr(4);
    } else if (text.starts_with("hex(")) {
        const std::size_t close = text.find("):");
        if (close == std::string_view::npos) return false;
        const auto type = ParseHexNumber(text.substr(4, close - 4));
        if (!type) return false;
        value.type = *type;
        list = text.substr(close + 2);
    } else {
        return false;
    }
    auto bytes = ParseHexData(list);
    if (!bytes) return false;
    value.data = std::move(*bytes);
    if (value.type == REG_SZ) CutAtTerminator(value.data);
    return true;
}

} // namespace

std::optional<RegistryTree> RegistryText::Parse(std::string_view text, std::string* problem)
{
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    Parser parser(text);
    auto tree = parser.Run();
    if (!tree && problem) *problem = parser.Problem();
    return tree;
}

std::string RegistryText::Format(const RegistryTree& tree)
{
    std::string out(kHeader);
    out += "\n\n";
    for (const auto& [folded, key] : tree.Keys()) {
        if (RegistryTree::IsRoot(key.path) && key.values.empty()) continue;
        out += '[';
        out += key.path;
        out += "]\n";
        for (const RegistryValue& value : key.values) {
            out += value.name.empty() ? std::string("@") : Quote(value.name);
            out += '=';
            out += FormatData(value);
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

bool RegistryText::IsWritableKeyPath(std::string_view path)
{
    std::size_t levels = 0;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(RegistryTree::kSeparator, start);
        if (end == std::string_view::npos) end = path.size();
        if (++levels > kMaxKeyLevels || !IsWritableName(path.substr(start, end - start), kMaxKeyNameChars))
            return false;
        start = end + 1;
    }
    return true;
}

bool RegistryText::IsWritableValueName(std::string_view name)
{
    return name.empty() || IsWritableName(name, kMaxValueNameChars);
}
