#include "platform/window/WindowDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Recorder final : public WindowClient {
public:
    void OnMessage(UINT message, WPARAM wParam, LPARAM) override
    {
        threads.push_back(std::this_thread::get_id());
        messages.emplace_back(message, wParam);
    }
    void OnVideoFrame(const StoredFrame& frame) override { frames.push_back(frame); }
    RECT WindowRect() override { return {1, 2, 3, 4}; }

    std::vector<std::pair<UINT, WPARAM>> messages;
    std::vector<std::thread::id> threads;
    std::vector<StoredFrame> frames;
};

const HWND kFirst = reinterpret_cast<HWND>(0x10);
const HWND kSecond = reinterpret_cast<HWND>(0x20);

VideoFrame FrameOf(const std::vector<BYTE>& pixels, LONG width)
{
    return {width, 1, 24, width * 3, pixels.data(), {0, 0, width, 1}};
}

} // namespace

TEST(WindowDispatcherTest, MessagesFromManyThreadsArriveInOrderOnTheDispatchingThread)
{
    std::atomic<int> wakeUps{0};
    WindowDispatcher dispatcher([&] { ++wakeUps; });
    Recorder first;
    Recorder second;
    dispatcher.RegisterWindow(kFirst, &first);
    dispatcher.RegisterWindow(kSecond, &second);

    std::vector<std::thread> posters;
    for (UINT message = 1; message <= 4; ++message) {
        posters.emplace_back([&, message] {
            for (WPARAM i = 0; i < 250; ++i)
                ASSERT_TRUE(dispatcher.PostMessage(message % 2 ? kFirst : kSecond, message, i, 0));
        });
    }
    for (auto& poster : posters) poster.join();
    EXPECT_GE(wakeUps, 1);
    EXPECT_EQ(dispatcher.DispatchPending(), 1000u);
    EXPECT_EQ(dispatcher.DispatchPending(), 0u);

    for (Recorder* window : {&first, &second}) {
        ASSERT_EQ(window->messages.size(), 500u);
        std::vector<WPARAM> next(5, 0);
        for (const auto& [message, wParam] : window->messages) EXPECT_EQ(wParam, next[message]++);
        for (const auto& thread : window->threads) EXPECT_EQ(thread, std::this_thread::get_id());
    }
}

TEST(WindowDispatcherTest, UnknownWindowsAndAFullQueueRefusePosts)
{
    WindowDispatcher dispatcher;
    Recorder window;
    EXPECT_FALSE(dispatcher.PostMessage(kFirst, 1, 0, 0));
    RECT rect{};
    EXPECT_FALSE(dispatcher.GetWindowRect(kFirst, &rect));
    dispatcher.RegisterWindow(kFirst, &window);
    ASSERT_TRUE(dispatcher.GetWindowRect(kFirst, &rect));
    EXPECT_EQ(rect.right, 3);

    for (std::size_t i = 0; i < WindowDispatcher::kMaxQueuedMessages; ++i)
        ASSERT_TRUE(dispatcher.PostMessage(kFirst, 1, i, 0));
    EXPECT_FALSE(dispatcher.PostMessage(kFirst, 1, 0, 0));
    dispatcher.DispatchPending();
    EXPECT_TRUE(dispatcher.PostMessage(kFirst, 1, 0, 0));

    // What waits for a window that goes away is dropped with it.
    dispatcher.UnregisterWindow(kFirst);
    EXPECT_EQ(dispatcher.DispatchPending(), 0u);
    EXPECT_TRUE(dispatcher.PostMessage(kSecond, 1, 0, 0) == FALSE);
}

TEST(WindowDispatcherTest, AWindowWaitsForOneFrameAtMostTheNewest)
{
    WindowDispatcher dispatcher;
    Recorder window;
    dispatcher.RegisterWindow(kFirst, &window);
    const std::vector<BYTE> older(6, 1);
    const std::vector<BYTE> newer(6, 2);
    dispatcher.PresentFrame(kFirst, FrameOf(older, 2));
    ASSERT_TRUE(dispatcher.PostMessage(kFirst, 9, 0, 0));
    dispatcher.PresentFrame(kFirst, FrameOf(newer, 2));
    EXPECT_TRUE(dispatcher.WaitForWork(0));
    EXPECT_EQ(dispatcher.DispatchPending(), 2u);
    ASSERT_EQ(window.frames.size(), 1u);
    EXPECT_EQ(window.frames[0].pixels, newer);
    EXPECT_FALSE(dispatcher.WaitForWork(10));
}

TEST(WindowDispatcherTest, TheInstalledServiceCarriesThePlatformCalls)
{
    WindowDispatcher dispatcher;
    Recorder window;
    dispatcher.RegisterWindow(kFirst, &window);
    EXPECT_FALSE(PostWindowMessage(kFirst, 5, 0, 0));
    InstallWindowService(&dispatcher);
    EXPECT_TRUE(PostWindowMessage(kFirst, 5, 6, 0));
    RECT rect{};
    EXPECT_TRUE(GetWindowRect(kFirst, &rect));
    InstallWindowService(nullptr);
    EXPECT_FALSE(GetWindowRect(kFirst, &rect));
    dispatcher.DispatchPending();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], std::make_pair(5u, WPARAM{6}));
}
