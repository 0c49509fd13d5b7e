// Encode graphs as the engine builds them: the picture source of libXTPPic.so
// (registered into a temporary registry) feeding the ASF writer (or the media
// file writer), optionally
// with a PCM source of the tests' own on the writer's audio input.
#pragma once

#include "ProfileTexts.h"

#include "picsource/IPictureSourceConfig.h"
#include "platform/com/ComPtr.h"
#include "platform/mediagraph/GraphControl.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

// While it lives, files of this process may not grow past `bytes`: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Holds() const { return holds; }

private:
    rlimit saved{};
    void (*savedHandler)(int) = SIG_DFL;
    bool handled = false;
    bool holds = false;
};

struct GraphEvent {
    LONG code;
    LONG_PTR param1;
};

class WriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { registry.reset(); }
    void SetUp() override;
    void TearDown() override;

    // The picture source at this frame size and time per picture.
    void ConfigurePictures(LONG width, LONG height, LONG repTime);
    // A profile from its text with its video stream edited as the engine does.
    ComPtr<IWMProfile> EditedProfile(const std::u16string& text, LONG width, LONG height, DWORD bitrate);
    // Source and writer in the graph, the writer configured and connected.
    void BuildGraph(IWMProfile* profile, const std::string& file);
    // A PCM source on the writer's audio input.
    void AddSound(int sampleRate, int channels, REFERENCE_TIME length);
    // The events that arrive until EC_COMPLETE or EC_ERRORABORT, or the time runs out.
    std::vector<GraphEvent> RunToEnd(LONG milliseconds = 20000);
    // The events of a run that is on, the same way.
    std::vector<GraphEvent> EventsUntilEnd(LONG milliseconds);
    static bool Has(const std::vector<GraphEvent>& events, LONG code, LONG_PTR* param1 = nullptr);
    // Hidden files in the movie's folder: the writer's temporaries.
    static int Temporaries(const std::filesystem::path& folder);
    // RunToEnd while files of this process may not grow past 16 KiB: writes past it fail with EFBIG.
    std::vector<GraphEvent> RunOnAFullDisk();
    // A 64x48 video-only movie into `file` that must abort: the abort's code, once stopped.
    HRESULT RunToAbort(const std::filesystem::path& file);
    ComPtr<IPin> WriterPin(const char16_t* name);

    // The writer SetUp makes; a fixture of another writer sets it first.
    CLSID writerClass = CLSID_WMAsfWriter;
    std::filesystem::path folder;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IBaseFilter> source;
    ComPtr<IPictureSourceConfig> sourceConfig;
    ComPtr<IBaseFilter> writer;
    ComPtr<IConfigAsfWriter> writerConfig;
    ComPtr<IFileSinkFilter> writerSink;

private:
    static inline std::unique_ptr<TempRegistry> registry;
    static inline bool registered = false;
};
