// The movie engine with the real picture source registered into a temporary
// registry, a window service standing in for the main window, and the error
// boxes recorded instead of shown.
#pragma once

#include "engine/MovieEngine.h"
#include "engine/MovieRun.h"
#include "platform/base/WideText.h"
#include "platform/resource/MessageBox.h"
#include "platform/window/WindowDispatcher.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

inline const HWND kMainWindow = reinterpret_cast<HWND>(0x5001);
inline const HWND kPreviewWindow = reinterpret_cast<HWND>(0x5002);

class PreviewClient final : public WindowClient {
public:
    void OnMessage(UINT, WPARAM, LPARAM) override {}
    void OnVideoFrame(const StoredFrame&) override { ++frames; }
    RECT WindowRect() override { return {0, 0, 160, 120}; }
    int frames = 0;
};

struct ErrorBox {
    std::string text;
    std::string caption;
    UINT type;
};

// What ffprobe reads from a written movie.
struct StreamInfo {
    std::string codec;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
    int frames = 0; // decoded
};

std::vector<StreamInfo> ProbeStreams(const std::string& path);
std::string Media(const std::string& name);

class EngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    void WriteConfig(const std::string& text);
    // Follows the graph's run in `run` until it ends; the event that ended it.
    LONG WaitForRun(LONG milliseconds = 20000);
    void MakeMovie(const std::string& output, HWND preview = nullptr);
    std::vector<std::string> ErrorTexts() const;

    static inline std::unique_ptr<TempRegistry> registry;
    static inline bool registered = false;
    WindowDispatcher dispatcher;
    PreviewClient preview;
    std::vector<ErrorBox> errors;
    std::unique_ptr<MovieEngine> engine;
    // The last run WaitForRun followed.
    MovieRun run{[] { return 0.0; }};
    std::filesystem::path folder;
};
