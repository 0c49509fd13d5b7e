#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/thread/Threads.h"

#include <gtest/gtest.h>

namespace {

class SystemClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                   clock.ReceiveVoid()),
                  S_OK);
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
    }
    void TearDown() override
    {
        clock.Reset();
        CloseHandle(event);
        CoUninitialize();
    }
    REFERENCE_TIME Now()
    {
        REFERENCE_TIME now = 0;
        EXPECT_EQ(clock->GetTime(&now), S_OK);
        return now;
    }
    HEVENT Handle() const { return reinterpret_cast<HEVENT>(event); }

    ComPtr<IReferenceClock> clock;
    HANDLE event = nullptr;
};

} // namespace

TEST_F(SystemClockTest, TimeNeverRunsBackwards)
{
    REFERENCE_TIME previous = Now();
    for (int i = 0; i < 1000; ++i) {
        const REFERENCE_TIME now = Now();
        ASSERT_GE(now, previous);
        previous = now;
    }
    EXPECT_EQ(clock->GetTime(nullptr), E_POINTER);
}

TEST_F(SystemClockTest, AdviseTimeSetsTheEventOnceTheTimeHasCome)
{
    DWORD_PTR cookie = 0;
    const REFERENCE_TIME start = Now();
    ASSERT_EQ(clock->AdviseTime(start, 30 * kUnitsPerMillisecond, Handle(), &cookie), S_OK);
    ASSERT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_GE(Now(), start + 30 * kUnitsPerMillisecond);
    // One-time: gone after it fired.
    EXPECT_EQ(clock->Unadvise(cookie), S_FALSE);

    // A time already past fires at once.
    ASSERT_EQ(clock->AdviseTime(0, 1, Handle(), &cookie), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
}

TEST_F(SystemClockTest, PeriodicAdvicesRepeatUntilUnadvised)
{
    DWORD_PTR cookie = 0;
    ASSERT_EQ(clock->AdvisePeriodic(Now(), 5 * kUnitsPerMillisecond, Handle(), &cookie), S_OK);
    for (int tick = 0; tick < 3; ++tick) ASSERT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    ASSERT_EQ(clock->Unadvise(cookie), S_OK);
    WaitForSingleObject(event, 0);
    EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT);
}

TEST_F(SystemClockTest, BadAdvicesAreRefused)
{
    DWORD_PTR cookie = 0;
    EXPECT_EQ(clock->AdviseTime(Now(), 0, Handle(), nullptr), E_POINTER);
    EXPECT_EQ(clock->AdviseTime(Now(), 0, 0, &cookie), E_INVALIDARG);
    EXPECT_EQ(clock->AdviseTime(-1, 0, Handle(), &cookie), E_INVALIDARG);
    EXPECT_EQ(clock->AdviseTime(0x7FFFFFFFFFFFFFFF, 1, Handle(), &cookie), E_INVALIDARG);
    EXPECT_EQ(clock->AdvisePeriodic(Now(), 0, Handle(), &cookie), E_INVALIDARG);
    EXPECT_EQ(clock->AdvisePeriodic(Now(), -5, Handle(), &cookie), E_INVALIDARG);
}
