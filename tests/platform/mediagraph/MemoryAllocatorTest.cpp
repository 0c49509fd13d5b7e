// The memory allocator: agreement of properties, commit and decommit, and the
// waits in GetBuffer that ReleaseBuffer or Decommit must end.

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/MemoryAllocator.h"
#include "tests/platform/mediagraph/MediaGraphFixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Long enough for a waiting thread to have reached its wait; a thread still
// running after it is taken as blocked.
constexpr auto kSettle = 50ms;
// A thread that must come back does so well within this, or the test fails instead of hanging.
constexpr auto kDeadline = 10s;

struct Taken {
    HRESULT hr;
    // What GetBuffer left in its out parameter, and the reference it handed out if it succeeded.
    IMediaSample* written;
    ComPtr<IMediaSample> sample;
};

std::future<Taken> TakeInBackground(IMemAllocator* allocator)
{
    return std::async(std::launch::async, [allocator] {
        IMediaSample* written = reinterpret_cast<IMediaSample*>(1);
        const HRESULT hr = allocator->GetBuffer(&written, nullptr, nullptr, 0);
        return Taken{hr, written, SUCCEEDED(hr) ? ComPtr<IMediaSample>::Attach(written) : nullptr};
    });
}

TEST_F(AllocatorTest, RefusesAggregationAndForeignInterfaces)
{
    struct Outer : IUnknown {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
    } outer;
    void* aggregate = &outer;
    EXPECT_EQ(CreateMemoryAllocator(&outer, IID_IUnknown, &aggregate), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(aggregate, nullptr);

    ComPtr<IMediaSample> notASample;
    EXPECT_EQ(allocator.As(IID_IMediaSample, notASample), E_NOINTERFACE);
    EXPECT_FALSE(notASample);
}

TEST_F(AllocatorTest, GrantsValidPropertiesAndRefusesTheRest)
{
    ALLOCATOR_PROPERTIES granted = Prepare(3, 1000, 16, 8);
    EXPECT_EQ(granted.cBuffers, 3);
    EXPECT_GE(granted.cbBuffer, 1000);
    EXPECT_EQ(granted.cbAlign, 16);
    EXPECT_EQ(granted.cbPrefix, 8);
    ALLOCATOR_PROPERTIES read{};
    EXPECT_EQ(allocator->GetProperties(&read), S_OK);
    EXPECT_EQ(std::memcmp(&read, &granted, sizeof read), 0);

    ALLOCATOR_PROPERTIES request{1, 100, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&request, nullptr), VFW_E_ALREADY_COMMITTED);
    ASSERT_EQ(allocator->Decommit(), S_OK);

    for (LONG badAlign : {0, 3, 24, -8}) {
        request = {1, 100, badAlign, 0};
        EXPECT_EQ(allocator->SetProperties(&request, nullptr), VFW_E_BADALIGN) << badAlign;
    }
    request = {1, -1, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&request, nullptr), E_INVALIDARG);
    request = {1, 100, 1, -4};
    EXPECT_EQ(allocator->SetProperties(&request, nullptr), E_INVALIDARG);
    EXPECT_EQ(allocator->SetProperties(nullptr, nullptr), E_POINTER);
    // Pools that would exhaust memory are refused before anything is obtained.
    request = {0x7FFFFFFF, 0x7FFFFFFF, 1 << 30, 0x7FFFFFFF};
    EXPECT_EQ(allocator->SetProperties(&request, nullptr), E_OUTOFMEMORY);
    request = {1 << 30, 1, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&request, nullptr), E_OUTOFMEMORY);

    // Refused requests leave the earlier properties in force.
    EXPECT_EQ(allocator->GetProperties(&read), S_OK);
    EXPECT_EQ(std::memcmp(&read, &granted, sizeof read), 0);
}

TEST_F(AllocatorTest, CommitNeedsPropertiesAndGetBufferNeedsCommit)
{
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
    ALLOCATOR_PROPERTIES request{2, 64, 1, 0};
    ASSERT_EQ(allocator->SetProperties(&request, nullptr), S_OK);
    IMediaSample* sample = reinterpret_cast<IMediaSample*>(1);
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(sample, nullptr);
    EXPECT_EQ(allocator->GetBuffer(nullptr, nullptr, nullptr, 0), E_POINTER);

    EXPECT_EQ(allocator->Commit(), S_OK);
    EXPECT_EQ(allocator->Commit(), S_OK);
    EXPECT_TRUE(Take());
    EXPECT_EQ(allocator->Decommit(), S_OK);
    EXPECT_EQ(allocator->Decommit(), S_OK);
}

TEST_F(AllocatorTest, BuffersAreAlignedSeparateAndPrefixed)
{
    const LONG align = 64, prefix = 12, size = 1001;
    Prepare(3, size, align, prefix);
    std::vector<ComPtr<IMediaSample>> samples;
    for (int i = 0; i < 3; ++i) {
        samples.push_back(Take());
        BYTE* data = nullptr;
        ASSERT_EQ(samples.back()->GetPointer(&data), S_OK);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % align, 0u);
        ASSERT_GE(samples.back()->GetSize(), size);
        // Prefix and buffer are ours to write (the sanitizer build checks the bounds).
        std::memset(data - prefix, 0xA0 + i, static_cast<std::size_t>(prefix + size));
    }
    for (int i = 0; i < 3; ++i) {
        BYTE* data = nullptr;
        samples[i]->GetPointer(&data);
        for (LONG b = -prefix; b < size; ++b) ASSERT_EQ(data[b], 0xA0 + i) << "buffer " << i << " byte " << b;
    }
    EXPECT_EQ(allocator->GetBuffer(samples.emplace_back().Receive(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
}

TEST_F(AllocatorTest, WaitingGetBufferTakesTheSampleReleased)
{
    Prepare(1, 256);
    ComPtr<IMediaSample> held = Take();
    IMediaSample* const heldRaw = held.Get();

    auto waiting = TakeInBackground(allocator.Get());
    ASSERT_EQ(waiting.wait_for(kSettle), std::future_status::timeout) << "GetBuffer must wait for a free sample";
    held.Reset();
    ASSERT_EQ(waiting.wait_for(kDeadline), std::future_status::ready);
    Taken taken = waiting.get();
    EXPECT_EQ(taken.hr, S_OK);
    EXPECT_EQ(taken.sample.Get(), heldRaw);
}

TEST_F(AllocatorTest, DecommitFailsAWaitingGetBufferAndFreesOnceTheLastSampleIsHome)
{
    Prepare(1, 256);
    ComPtr<IMediaSample> held = Take();

    auto waiting = TakeInBackground(allocator.Get());
    ASSERT_EQ(waiting.wait_for(kSettle), std::future_status::timeout);
    ASSERT_EQ(allocator->Decommit(), S_OK);
    ASSERT_EQ(waiting.wait_for(kDeadline), std::future_status::ready);
    Taken taken = waiting.get();
    EXPECT_EQ(taken.hr, VFW_E_NOT_COMMITTED);
    EXPECT_EQ(taken.written, nullptr);

    // The sample still out keeps its memory (the sanitizer build catches a use after free).
    BYTE* data = nullptr;
    ASSERT_EQ(held->GetPointer(&data), S_OK);
    std::memset(data, 0x5A, 256);
    ALLOCATOR_PROPERTIES request{2, 512, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&request, nullptr), VFW_E_BUFFERS_OUTSTANDING);

    held.Reset();
    ASSERT_EQ(allocator->SetProperties(&request, nullptr), S_OK);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> first = Take();
    ComPtr<IMediaSample> second = Take();
    EXPECT_EQ(first->GetSize(), 512);
    EXPECT_NE(first.Get(), second.Get());
}

TEST_F(AllocatorTest, RecommitBeforeTheSamplesAreHomeKeepsThePool)
{
    Prepare(1, 128);
    ComPtr<IMediaSample> held = Take();
    ASSERT_EQ(allocator->Decommit(), S_OK);
    ASSERT_EQ(allocator->Commit(), S_OK);
    IMediaSample* const heldRaw = held.Get();
    held.Reset();
    ComPtr<IMediaSample> again = Take();
    EXPECT_EQ(again.Get(), heldRaw);
}

TEST_F(AllocatorTest, SamplesKeepTheirAllocatorAlive)
{
    Prepare(2, 300);
    ComPtr<IMediaSample> held = Take();
    allocator.Reset();
    BYTE* data = nullptr;
    ASSERT_EQ(held->GetPointer(&data), S_OK);
    std::memset(data, 1, 300);
    EXPECT_EQ(held->GetSize(), 300);
    held.Reset();
}

// A stop while the producer waits for a sample, over and over: every wait must end.
TEST_F(AllocatorTest, RepeatedDecommitReleasesEveryWaiterWithoutDeadlock)
{
    Prepare(1, 64);
    for (int cycle = 0; cycle < 200; ++cycle) {
        ComPtr<IMediaSample> held = Take();
        std::vector<std::future<Taken>> waiters;
        for (int i = 0; i < 3; ++i) waiters.push_back(TakeInBackground(allocator.Get()));
        std::this_thread::yield();
        ASSERT_EQ(allocator->Decommit(), S_OK);
        for (auto& waiter : waiters) {
            ASSERT_EQ(waiter.wait_for(kDeadline), std::future_status::ready) << "cycle " << cycle;
            Taken taken = waiter.get();
            EXPECT_EQ(taken.hr, VFW_E_NOT_COMMITTED) << "cycle " << cycle;
        }
        held.Reset();
        ASSERT_EQ(allocator->Commit(), S_OK);
    }
}

TEST_F(AllocatorTest, ConcurrentProducersShareThePool)
{
    Prepare(2, 32);
    auto produce = [this] {
        for (int i = 0; i < 2000; ++i) {
            ComPtr<IMediaSample> sample;
            if (allocator->GetBuffer(sample.Receive(), nullptr, nullptr, 0) != S_OK) return false;
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            std::memset(data, i & 0xFF, 32);
        }
        return true;
    };
    auto a = std::async(std::launch::async, produce);
    auto b = std::async(std::launch::async, produce);
    auto c = std::async(std::launch::async, produce);
    ASSERT_EQ(a.wait_for(kDeadline), std::future_status::ready);
    ASSERT_EQ(b.wait_for(kDeadline), std::future_status::ready);
    ASSERT_EQ(c.wait_for(kDeadline), std::future_status::ready);
    EXPECT_TRUE(a.get());
    EXPECT_TRUE(b.get());
    EXPECT_TRUE(c.get());
}

} // namespace

TEST(FilterOwnAllocatorTest, KeepsZerosPastEachBufferAndGrantsItsLeastBuffers)
{
    const auto allocator = ComPtr<MemoryAllocator>::Attach(new MemoryAllocator(64, 2));
    ALLOCATOR_PROPERTIES request{1, 100, 16, 0};
    ALLOCATOR_PROPERTIES actual{};
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cBuffers, 2) << "the sender fills one while the filter holds the other";
    EXPECT_EQ(actual.cbBuffer, 100);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> first;
    ComPtr<IMediaSample> second;
    ASSERT_EQ(allocator->GetBuffer(first.Receive(), nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(second.Receive(), nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    for (const ComPtr<IMediaSample>& sample : {first, second}) {
        BYTE* data = nullptr;
        ASSERT_EQ(sample->GetPointer(&data), S_OK);
        std::memset(data, 0xFF, 100);
        EXPECT_TRUE(std::all_of(data + 100, data + 164, [](BYTE b) { return b == 0; }));
        EXPECT_TRUE(allocator->Owns(sample.Get()));
    }

    const auto other = ComPtr<MemoryAllocator>::Attach(new MemoryAllocator(0, 0));
    EXPECT_FALSE(other->Owns(first.Get()));
    first.Reset();
    second.Reset();
    EXPECT_EQ(allocator->Decommit(), S_OK);
}
