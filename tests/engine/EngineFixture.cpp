#include "EngineFixture.h"

#include "platform/mediagraph/MediaResults.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string Field(const std::string& line, const std::string& name)
{
    const std::string key = name + "=";
    const auto start = line.find(key);
    if (start == std::string::npos) return {};
    const auto end = line.find('|', start);
    return line.substr(start + key.size(), end == std::string::npos ? std::string::npos : end - start - key.size());
}

int IntField(const std::string& line, const std::string& name) { return std::atoi(Field(line, name).c_str()); }

} // namespace

std::vector<StreamInfo> ProbeStreams(const std::string& path)
{
    const std::string command = "ffprobe -v error -count_frames -show_entries "
                                "stream=codec_name,width,height,sample_rate,channels,duration,nb_read_frames "
                                "-of compact '" +
                                path + "'";
    std::vector<StreamInfo> streams;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return streams;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        const std::string text = line;
        streams.push_back({Field(text, "codec_name"), IntField(text, "width"), IntField(text, "height"),
                           IntField(text, "sample_rate"), IntField(text, "channels"),
                           std::atof(Field(text, "duration").c_str()), IntField(text, "nb_read_frames")});
    }
    pclose(pipe);
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
