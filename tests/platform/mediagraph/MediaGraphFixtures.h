// Fixtures that make the platform's media objects through the COM run time,
// as filters and applications obtain them.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"

#include <gtest/gtest.h>

template <typename Interface, const CLSID& Clsid, const IID& Iid>
class PlatformClassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(CoCreateInstance(Clsid, nullptr, CLSCTX_INPROC_SERVER, Iid, object.ReceiveVoid()), S_OK);
    }
    void TearDown() override
    {
        object.Reset();
        CoUninitialize();
    }

    ComPtr<Interface> object;
};

class AllocatorTest : public PlatformClassTest<IMemAllocator, CLSID_MemoryAllocator, IID_IMemAllocator> {
protected:
    // Sets the properties and commits; answers the properties granted.
    ALLOCATOR_PROPERTIES Prepare(LONG buffers, LONG size, LONG align = 1, LONG prefix = 0)
    {
        ALLOCATOR_PROPERTIES request{buffers, size, align, prefix};
        ALLOCATOR_PROPERTIES actual{};
        EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
        EXPECT_EQ(allocator->Commit(), S_OK);
        return actual;
    }

    ComPtr<IMediaSample> Take(DWORD flags = 0)
    {
        ComPtr<IMediaSample> sample;
        EXPECT_EQ(allocator->GetBuffer(sample.Receive(), nullptr, nullptr, flags), S_OK);
        return sample;
    }

    ComPtr<IMemAllocator>& allocator = object;
};
