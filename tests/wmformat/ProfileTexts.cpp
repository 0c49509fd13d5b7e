#include "ProfileTexts.h"

#include "platform/base/WideText.h"
#include "platform/com/ComPtr.h"

#include <vector>

namespace {

const char* const VideoStream = R"(      <streamconfig majortype="{73646976-0000-0010-8000-00AA00389B71}"
             streamnumber="1"
             streamname="Video1"
             inputname=""
             bitrate="100000"
             bufferwindow="3000"
             reliabletransport="0"
             decodercomplexity=""
             rfc1766langid="zh-cn">
        <videomediaprops maxkeyframespacing="80000000"
                         quality="100"/>
        <wmmediatype subtype="{31564D57-0000-0010-8000-00AA00389B71}"
                     bfixedsizesamples="0"
                     btemporalcompression="1"
                     lsamplesize="0">
          <videoinfoheader dwbitrate="100000"
                           dwbiterrorrate="0"
                           avgtimeperframe="$FRAME">
            <rcsource left="0" top="0" right="$W" bottom="$H"/>
            <rctarget left="0" top="0" right="$W" bottom="$H"/>
            <bitmapinfoheader biwidth="$W"
                              biheight="$H"
                              biplanes="1"
                              bibitcount="24"
                              bicompression="WMV1"
                              bisizeimage="0"
                              bixpelspermeter="0"
                              biypelspermeter="0"
                              biclrused="0"
                              biclrimportant="0"/>
          </videoinfoheader>
        </wmmediatype>
      </streamconfig>
)";

const char* const AudioStream = R"(      <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
             streamnumber="2"
             streamname="Audio2"
             inputname=""
             bitrate="32024"
             bufferwindow="3000"
             reliabletransport="0"
             decodercomplexity=""
             rfc1766langid="zh-cn">
        <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                     bfixedsizesamples="1"
                     btemporalcompression="0"
                     lsamplesize="0">
          <waveformatex wFormatTag="353"
                        nChannels="2"
                        nSamplesPerSec="22050"
                        nAvgBytesPerSec="4003"
                        nBlockAlign="1487"
                        wBitsPerSample="16"
                        codecdata="0044000017003D170000"/>
        </wmmediatype>
      </streamconfig>
)";

std::string Replace(std::string text, const std::string& name, const std::string& value)
{
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size())) {
        text.replace(at, name.size(), value);
    }
    return text;
}

std::string VideoStreamXml(const char* frameTime, const char* width, const char* height)
{
    return Replace(Replace(Replace(VideoStream, "$FRAME", frameTime), "$W", width), "$H", height);
}

std::string ProfileXml(const char* description, const std::string& streams)
{
    return std::string("<profile version=\"589824\"\n"
                       "         storageformat=\"1\"\n"
                       "         name=\"\"\n"
                       "         description=\"") +
           description + "\">\n" + streams + "</profile>\n";
}

} // namespace

std::u16string ProfileText(const std::string& xml) { return WideFromUtf8(Replace(xml, "\n", "\r\n")); }

std::u16string VideoOnlyProfileText()
{
    return ProfileText(ProfileXml("Streams: 1 video", VideoStreamXml("333333", "320", "240")));
}

std::u16string AudioVideoProfileText()
{
    return ProfileText(ProfileXml("Streams: 1 audio 1 video", VideoStreamXml("666666", "640", "640") + AudioStream));
}

HRESULT EditVideoStream(IWMProfile* profile, LONG width, LONG height, DWORD bitrate)
{
    ComPtr<IWMStreamConfig> config;
    HRESULT hr = profile->GetStream(0, config.Receive());
    if (FAILED(hr)) return hr;
    ComPtr<IWMVideoMediaProps> props;
    hr = config.As(IID_IWMVideoMediaProps, props);
    if (SUCCEEDED(hr)) hr = config->SetBitrate(bitrate);
    DWORD size = 0;
    if (SUCCEEDED(hr)) hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    std::vector<std::max_align_t> buffer(size / sizeof(std::max_align_t) + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    hr = props->GetMediaType(type, &size);
    if (FAILED(hr)) return hr;
    auto* video = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    video->bmiHeader.biWidth = width;
    video->bmiHeader.biHeight = height;
    video->bmiHeader.biSizeImage = static_cast<DWORD>((width * video->bmiHeader.biBitCount + 31) / 32 * 4 * height);
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = video->bmiHeader.biSizeImage;
    video->rcSource = video->rcTarget = RECT{0, 0, width, height};
    video->dwBitRate = bitrate;
    hr = props->SetMediaType(type);
    return SUCCEEDED(hr) ? profile->ReconfigStream(config.Get()) : hr;
}

IWMProfile* LoadProfile(const std::u16string& text, HRESULT* result)
{
    ComPtr<IWMProfileManager> manager;
    *result = WMCreateProfileManager(manager.Receive());
    if (FAILED(*result)) return nullptr;
    IWMProfile* profile = nullptr;
    *result = manager->LoadProfileByData(text.c_str(), &profile);
    return profile;
}
