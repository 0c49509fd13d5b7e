// A Windows Media profile: its version, name, description and streams.
// GetStream hands out copies; ReconfigStream puts a changed copy back in
// place of the stream of the same number. Mutual exclusion is not offered.
#pragma once

#include "platform/mediagraph/PlatformObject.h"
#include "platform/wmformat/ProfileStream.h"

#include <mutex>

struct ProfileData {
    WMT_VERSION version = WMT_VER_9_0;
    std::u16string name;
    std::u16string description;
    std::vector<ProfileStream> streams;
};

class WMProfile final : public PlatformObject<WMProfile, IWMProfile, IID_IWMProfile> {
public:
    // A new profile with one reference; nullptr without memory.
    static WMProfile* Make(ProfileData data);

    HRESULT GetVersion(WMT_VERSION* version) override;
    HRESULT GetName(WCHAR* name, DWORD* length) override;
    HRESULT SetName(const WCHAR* name) override;
    HRESULT GetDescription(WCHAR* description, DWORD* length) override;
    HRESULT SetDescription(const WCHAR* description) override;
    HRESULT GetStreamCount(DWORD* count) override;
    HRESULT GetStream(DWORD index, IWMStreamConfig** config) override;
    HRESULT GetStreamByNumber(WORD number, IWMStreamConfig** config) override;
    HRESULT RemoveStream(IWMStreamConfig* config) override;
    HRESULT RemoveStreamByNumber(WORD number) override;
    HRESULT AddStream(IWMStreamConfig* config) override;
    HRESULT ReconfigStream(IWMStreamConfig* config) override;
    HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** config) override;
    HRESULT GetMutualExclusionCount(DWORD* count) override;
    HRESULT GetMutualExclusion(DWORD index, IWMMutualExclusion** exclusion) override;
    HRESULT RemoveMutualExclusion(IWMMutualExclusion* exclusion) override;
    HRESULT AddMutualExclusion(IWMMutualExclusion* exclusion) override;
    HRESULT CreateNewMutualExclusion(IWMMutualExclusion** exclusion) override;

private:
    friend class PlatformObject<WMProfile, IWMProfile, IID_IWMProfile>;
    WMProfile() = default;

    HRESULT HandOut(const ProfileStream& stream, IWMStreamConfig** config);
    std::vector<ProfileStream>::iterator FindNumber(WORD number);

    std::mutex lock;
    ProfileData data;
};
