#include "platform/wmformat/ProfileXml.h"

#include "platform/base/WideText.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <optional>

namespace {

// Reads the attributes of one element; the first failure sticks.
class AttributeReader {
public:
    explicit AttributeReader(pugi::xml_node element) : node(element) {}

    bool Ok() const { return ok; }

    template <typename T>
    T Number(const char* name)
    {
        const std::optional<long long> value = Integer(name);
        if (!value || *value < static_cast<long long>(std::numeric_limits<T>::min()) ||
            *value > static_cast<long long>(std::numeric_limits<T>::max())) {
            ok = false;
            return T{};
        }
        return static_cast<T>(*value);
    }
    bool Flag(const char* name) { return Number<int>(name) != 0; }
    std::u16string Text(const char* name) { return WideFromUtf8(Raw(name)); }
    GUID Guid(const char* name);
    DWORD FourCC(const char* name);
    std::vector<BYTE> Hex(const char* name);

private:
    std::string_view Raw(const char* name)
    {
        const pugi::xml_attribute attribute = node.attribute(name);
        if (!attribute) ok = false;
        return attribute.value();
    }
    std::optional<long long> Integer(const char* name)
    {
        const std::string_view text = Raw(name);
        long long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
        return value;
    }

    pugi::xml_node node;
    bool ok = true;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits into bytes; false on an odd count or another character.
bool ParseHex(std::string_view text, std::vector<BYTE>* bytes)
{
    if (text.size() % 2 != 0) return false;
    bytes->clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back(static_cast<BYTE>(high * 16 + low));
    }
    return true;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
bool ParseGuid(std::string_view text, GUID* guid)
{
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t dash : {9, 14, 19, 24}) {
        if (text[dash] != '-') return false;
    }
    std::vector<BYTE> first;
    std::vector<BYTE> second;
    std::vector<BYTE> third;
    std::vector<BYTE> fourth;
    std::vector<BYTE> fifth;
    if (!ParseHex(text.substr(1, 8), &first) || !ParseHex(text.substr(10, 4), &second) ||
        !ParseHex(text.substr(15, 4), &third) || !ParseHex(text.substr(20, 4), &fourth) ||
        !ParseHex(text.substr(25, 12), &fifth))
        return false;
    guid->Data1 = (DWORD{first[0]} << 24) | (DWORD{first[1]} << 16) | (DWORD{first[2]} << 8) | first[3];
    guid->Data2 = static_cast<WORD>((second[0] << 8) | second[1]);
    guid->Data3 = static_cast<WORD>((third[0] << 8) | third[1]);
    guid->Data4[0] = fourth[0];
    guid->Data4[1] = fourth[1];
    std::memcpy(guid->Data4 + 2, fifth.data(), 6);
    return true;
}

GUID AttributeReader::Guid(const char* name)
{
    GUID guid{};
    if (!ParseGuid(Raw(name), &guid)) ok = false;
    return guid;
}

DWORD AttributeReader::FourCC(const char* name)
{
    const std::string_view text = Raw(name);
    if (text.size() != 4) {
        ok = false;
        return 0;
    }
    return DWORD{BYTE(text[0])} | (DWORD{BYTE(text[1])} << 8) | (DWORD{BYTE(text[2])} << 16) |
           (DWORD{BYTE(text[3])} << 24);
}

std::vector<BYTE> AttributeReader::Hex(const char* name)
{
    std::vector<BYTE> bytes;
    if (!ParseHex(Raw(name), &bytes)) ok = false;
    return bytes;
}

bool ReadRect(pugi::xml_node node, RECT* rect)
{
    if (!node) return false;
    AttributeReader attributes(node);
    *rect = RECT{attributes.Number<LONG>("left"), attributes.Number<LONG>("top"), attributes.Number<LONG>("right"),
                 attributes.Number<LONG>("bottom")};
    return attributes.Ok();
}

bool ReadVideoInfo(pugi::xml_node node, std::vector<BYTE>* format)
{
    VIDEOINFOHEADER video{};
    AttributeReader attributes(node);
    video.dwBitRate = attributes.Number<DWORD>("dwbitrate");
    video.dwBitErrorRate = attributes.Number<DWORD>("dwbiterrorrate");
    video.AvgTimePerFrame = attributes.Number<REFERENCE_TIME>("avgtimeperframe");
    if (!attributes.Ok() || !ReadRect(node.child("rcsource"), &video.rcSource) ||
        !ReadRect(node.child("rctarget"), &video.rcTarget))
        return false;
    const pugi::xml_node bitmap = node.child("bitmapinfoheader");
    if (!bitmap) return false;
    AttributeReader header(bitmap);
    BITMAPINFOHEADER& bmi = video.bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = header.Number<LONG>("biwidth");
    bmi.biHeight = header.Number<LONG>("biheight");
    bmi.biPlanes = header.Number<WORD>("biplanes");
    bmi.biBitCount = header.Number<WORD>("bibitcount");
    bmi.biCompression = header.FourCC("bicompression");
    bmi.biSizeImage = header.Number<DWORD>("bisizeimage");
    bmi.biXPelsPerMeter = header.Number<LONG>("bixpelspermeter");
    bmi.biYPelsPerMeter = header.Number<LONG>("biypelspermeter");
    bmi.biClrUsed = header.Number<DWORD>("biclrused");
    bmi.biClrImportant = header.Number<DWORD>("biclrimportant");
    if (!header.Ok()) return false;
    const auto* bytes = reinterpret_cast<const BYTE*>(&video);
    format->assign(bytes, bytes + sizeof(video));
    return true;
}

bool ReadWaveFormat(pugi::xml_node node, std::vector<BYTE>* format)
{
    WAVEFORMATEX wave{};
    AttributeReader attributes(node);
    wave.wFormatTag = attributes.Number<WORD>("wFormatTag");
    wave.nChannels = attributes.Number<WORD>("nChannels");
    wave.nSamplesPerSec = attributes.Number<DWORD>("nSamplesPerSec");
    wave.nAvgBytesPerSec = attributes.Number<DWORD>("nAvgBytesPerSec");
    wave.nBlockAlign = attributes.Number<WORD>("nBlockAlign");
    wave.wBitsPerSample = attributes.Number<WORD>("wBitsPerSample");
    const std::vector<BYTE> codecData = attributes.Hex("codecdata");
    if (!attributes.Ok() || codecData.size() > 0xFFFF - sizeof(WAVEFORMATEX)) return false;
    wave.cbSize = static_cast<WORD>(codecData.size());
    const auto* bytes = reinterpret_cast<const BYTE*>(&wave);
    format->assign(bytes, bytes + sizeof(wave));
    format->insert(format->end(), codecData.begin(), codecData.end());
    return true;
}

bool ReadMediaType(pugi::xml_node node, ProfileStream* stream)
{
    if (!node) return false;
    AttributeReader attributes(node);
    stream->subtype = attributes.Guid("subtype");
    stream->fixedSizeSamples = attributes.Flag("bfixedsizesamples");
    stream->temporalCompression = attributes.Flag("btemporalcompression");
    stream->sampleSize = attributes.Number<ULONG>("lsamplesize");
    if (!attributes.Ok()) return false;
    if (stream->IsVideo()) {
        stream->formatType = FORMAT_VideoInfo;
        return ReadVideoInfo(node.child("videoinfoheader"), &stream->format);
    }
    stream->formatType = FORMAT_WaveFormatEx;
    return ReadWaveFormat(node.child("waveformatex"), &stream->format);
}

bool ReadVideoProps(pugi::xml_node node, ProfileStream* stream)
{
    if (!node) return false;
    AttributeReader attributes(node);
    stream->maxKeyFrameSpacing = attributes.Number<LONGLONG>("maxkeyframespacing");
    stream->quality = attributes.Number<DWORD>("quality");
    return attributes.Ok() && stream->maxKeyFrameSpacing >= 0 && stream->quality <= 100;
}

HRESULT ReadStream(pugi::xml_node node, ProfileStream* stream)
{
    AttributeReader attributes(node);
    stream->majorType = attributes.Guid("majortype");
    stream->number = attributes.Number<WORD>("streamnumber");
    stream->name = attributes.Text("streamname");
    stream->connectionName = attributes.Text("inputname");
    stream->bitrate = attributes.Number<DWORD>("bitrate");
    stream->bufferWindow = attributes.Number<DWORD>("bufferwindow");
    if (!attributes.Ok() || stream->number < 1 || stream->number > 63) return NS_E_INVALID_DATA;
    if (!stream->IsVideo() && !stream->IsAudio()) return NS_E_INVALID_INPUT_FORMAT;
    if (stream->IsVideo() && !ReadVideoProps(node.child("videomediaprops"), stream)) return NS_E_INVALID_DATA;
    if (!ReadMediaType(node.child("wmmediatype"), stream)) return NS_E_INVALID_DATA;
    return stream->CheckCodec();
}

} // namespace

HRESULT ParseProfileXml(std::u16string_view text, ProfileData* profile)
{
    if (!profile) return E_POINTER;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(text.data(), text.size() * sizeof(char16_t), pugi::parse_default, pugi::encoding_utf16);
    if (!parsed) return NS_E_INVALID_DATA;
    const pugi::xml_node root = document.child("profile");
    if (!root) return NS_E_INVALID_DATA;
    ProfileData read;
    AttributeReader attributes(root);
    read.version = attributes.Number<DWORD>("version");
    read.name = attributes.Text("name");
    read.description = attributes.Text("description");
    if (!attributes.Ok()) return NS_E_INVALID_DATA;
    for (pugi::xml_node node : root.children("streamconfig")) {
        if (read.streams.size() >= 63) return NS_E_INVALID_DATA;
        ProfileStream stream;
        const HRESULT hr = ReadStream(node, &stream);
        if (FAILED(hr)) return hr;
        for (const ProfileStream& earlier : read.streams) {
            if (earlier.number == stream.number) return NS_E_INVALID_DATA;
        }
        read.streams.push_back(std::move(stream));
    }
    if (read.streams.empty()) return NS_E_INVALID_DATA;
    *profile = std::move(read);
    return S_OK;
}
