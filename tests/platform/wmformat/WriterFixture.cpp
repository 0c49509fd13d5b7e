#include "WriterFixture.h"

#include "tests/common/PcmSource.h"

#include "platform/base/WideText.h"

#include <cstdlib>

void WriterTest::SetUpTestSuite()
{
    registry = std::make_unique<TempRegistry>();
    const std::string command = std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1";
    registered = std::system(command.c_str()) == 0;
}

void WriterTest::SetUp()
{
    ASSERT_TRUE(registered);
    char pattern[] = "/tmp/reelsmith-wmformat-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.ReceiveVoid()),
        S_OK);
    ASSERT_EQ(graph.As(IID_IMediaControl, control), S_OK);
    ASSERT_EQ(graph.As(IID_IMediaEventEx, events), S_OK);
    ASSERT_EQ(
        CoCreateInstance(CLSID_PictureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, source.ReceiveVoid()),
        S_OK);
    ASSERT_EQ(source.As(IID_IPictureSourceConfig, sourceConfig), S_OK);
    ASSERT_EQ(sourceConfig->SetFolder(WideFromUtf8(PICTURES_DIR).c_str()), S_OK);
    ASSERT_EQ(CoCreateInstance(writerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, writer.ReceiveVoid()),
              S_OK);
    ASSERT_EQ(writer.As(IID_IConfigAsfWriter, writerConfig), S_OK);
    ASSERT_EQ(writer.As(IID_IFileSinkFilter, writerSink), S_OK);
}

void WriterTest::TearDown()
{
    if (control) control->Stop();
    writerSink.Reset();
    writerConfig.Reset();
    writer.Reset();
    sourceConfig.Reset();
    source.Reset();
    events.Reset();
    control.Reset();
    graph.Reset();
    CoUninitialize();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void WriterTest::ConfigurePictures(LONG width, LONG height, LONG repTime)
{
    ASSERT_EQ(sourceConfig->SetVideoSize(&width, &height), S_OK);
    ASSERT_EQ(sourceConfig->SetRepTime(&repTime), S_OK);
}

int WriterTest::Temporaries(const std::filesystem::path& folder)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().starts_with(".");
    return count;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    if (getrlimit(RLIMIT_FSIZE, &saved) != 0) return;
    savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    handled = true;
    rlimit small = saved;
    small.rlim_cur = bytes;
    holds = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (holds) setrlimit(RLIMIT_FSIZE, &saved);
    if (handled) std::signal(SIGXFSZ, savedHandler);
}

std::vector<GraphEvent> WriterTest::RunOnAFullDisk()
{
    const FileSizeLimit limit(16 * 1024);
    if (!limit.Holds()) return {};
    return RunToEnd(10000);
}

HRESULT WriterTest::RunToAbort(const std::filesystem::path& file)
{
    LONG width = 64, height = 48, repTime = 500;
    EXPECT_EQ(sourceConfig->SetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(sourceConfig->SetRepTime(&repTime), S_OK);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), width, height, 185000);
    BuildGraph(profile.Get(), file.string());
    const std::vector<GraphEvent> seen = RunToEnd(5000);
    LONG_PTR code = S_OK;
    EXPECT_TRUE(Has(seen, EC_ERRORABORT, &code));
    EXPECT_FALSE(Has(seen, EC_COMPLETE));
    EXPECT_EQ(control->Stop(), S_OK);
    return static_cast<HRESULT>(code);
}

ComPtr<IWMProfile> WriterTest::EditedProfile(const std::u16string& text, LONG width, LONG height, DWORD bitrate)
{
    HRESULT hr = E_FAIL;
    auto profile = ComPtr<IWMProfile>::Attach(LoadProfile(text, &hr));
    EXPECT_EQ(hr, S_OK);
    if (profile) {
        EXPECT_EQ(EditVideoStream(profile.Get(), width, height, bitrate), S_OK);
    }
    return profile;
}

void WriterTest::BuildGraph(IWMProfile* profile, const std::string& file)
{
    ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
    ASSERT_EQ(graph->AddFilter(writer.Get(), u"ASF Writer Filter"), S_OK);
    ASSERT_EQ(writerSink->SetFileName(WideFromUtf8(file).c_str(), nullptr), S_OK);
    ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(profile), S_OK);
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                               builder.ReceiveVoid()),
              S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
    ASSERT_EQ(builder->RenderStream(nullptr, &MEDIATYPE_Video, source.Get(), nullptr, writer.Get()), S_OK);
}

void WriterTest::AddSound(int sampleRate, int channels, REFERENCE_TIME length)
{
    auto sound = ComPtr<PcmSource>::Attach(new PcmSource(sampleRate, channels, length));
    ASSERT_EQ(graph->AddFilter(sound.Get(), u"Sound"), S_OK);
    ComPtr<IPin> output;
    ASSERT_EQ(sound->FindPin(u"Audio", output.Receive()), S_OK);
    ASSERT_EQ(graph->ConnectDirect(output.Get(), WriterPin(u"Audio Input 01").Get(), nullptr), S_OK);
}

ComPtr<IPin> WriterTest::WriterPin(const char16_t* name)
{
    ComPtr<IPin> pin;
    EXPECT_EQ(writer->FindPin(name, pin.Receive()), S_OK);
    return pin;
}

std::vector<GraphEvent> WriterTest::RunToEnd(LONG milliseconds)
{
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    return EventsUntilEnd(milliseconds);
}

std::vector<GraphEvent> WriterTest::EventsUntilEnd(LONG milliseconds)
{
    std::vector<GraphEvent> seen;
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
    while (events->GetEvent(&code, &param1, &param2, milliseconds) == S_OK) {
        seen.push_back({code, param1});
        events->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE || code == EC_ERRORABORT) break;
    }
    return seen;
}

bool WriterTest::Has(const std::vector<GraphEvent>& events, LONG code, LONG_PTR* param1)
{
    for (const GraphEvent& event : events) {
        if (event.code != code) continue;
        if (param1) *param1 = event.param1;
        return true;
    }
    return false;
}
