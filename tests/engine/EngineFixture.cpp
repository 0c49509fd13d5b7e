#include "EngineFixture.h"

#include "platform/mediagraph/MediaResults.h"
#include "tests/common/MovieProbe.h"

#include <cstdlib>
#include <fstream>
#include <unistd.h>

std::vector<StreamInfo> ProbeStreams(const std::string& path)
{
    const MovieProbe probe = MovieProbe::Of(path);
    std::vector<StreamInfo> streams;
    for (int stream = 0; !probe.StreamField(stream, "codec_type").empty(); ++stream) {
        const auto number = [&](const char* name) { return std::atof(probe.StreamField(stream, name).c_str()); };
        streams.push_back({probe.StreamField(stream, "codec_name"), static_cast<int>(number("width")),
                           static_cast<int>(number("height")), static_cast<int>(number("sample_rate")),
                           static_cast<int>(number("channels")), number("duration"),
                           static_cast<int>(number("nb_read_frames"))});
    }
    return streams;
}

std::string Media(const std::string& name) { return std::string(ENGINE_MEDIA_DIR) + "/" + name; }

void EngineTest::SetUpTestSuite()
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    registry = std::make_unique<TempRegistry>();
    const std::string command = std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1";
    registered = std::system(command.c_str()) == 0;
}

void EngineTest::TearDownTestSuite() { registry.reset(); }

void EngineTest::SetUp()
{
    ASSERT_TRUE(registered);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    char pattern[] = "/tmp/reelsmith-engine-XXXXXX";
    folder = mkdtemp(pattern);
    InstallMessageBoxHandler([this](HWND, const std::u16string& text, const std::u16string& caption, UINT type) {
        errors.push_back({Utf8FromWide(text), Utf8FromWide(caption), type});
        return IDOK;
    });
    dispatcher.RegisterWindow(kPreviewWindow, &preview);
    InstallWindowService(&dispatcher);
    engine = std::make_unique<MovieEngine>();
    ASSERT_TRUE(engine->IsReady());
}

void EngineTest::TearDown()
{
    engine.reset();
    InstallWindowService(nullptr);
    InstallMessageBoxHandler({});
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    CoUninitialize();
}

void EngineTest::WriteConfig(const std::string& text) { std::ofstream(folder / "config.ini") << text; }

LONG EngineTest::WaitForRun(LONG milliseconds)
{
    ComPtr<IMediaEvent> events = engine->GraphEvents();
    LONG code = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    run.Start(engine->PictureCount());
    // The preview's frames are handed over on this thread, as a front end would.
    while (events->WaitForCompletion(50, &code) == E_ABORT && std::chrono::steady_clock::now() < deadline) {
        dispatcher.DispatchPending();
        run.ReadEvents(*events);
    }
    dispatcher.DispatchPending();
    run.ReadEvents(*events);
    return code;
}

void EngineTest::MakeMovie(const std::string& output, HWND previewWindow)
{
    engine->MakeMovie(WideFromUtf8(output), previewWindow);
    ASSERT_EQ(ErrorTexts(), std::vector<std::string>{});
    EXPECT_EQ(WaitForRun(), EC_COMPLETE);
    engine->Stop();
}

std::vector<std::string> EngineTest::ErrorTexts() const
{
    std::vector<std::string> texts;
    for (const ErrorBox& box : errors) texts.push_back(box.text);
    return texts;
}
