// The profile manager WMCreateProfileManager makes: it loads profiles from
// their XML text and makes empty ones. There are no system profiles.
#pragma once

#include "platform/mediagraph/PlatformObject.h"
#include "platform/wmformat/WMFormat.h"

class WMProfileManager final : public PlatformObject<WMProfileManager, IWMProfileManager, IID_IWMProfileManager> {
public:
    HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
    HRESULT LoadProfileByID(REFGUID id, IWMProfile** profile) override;
    HRESULT LoadProfileByData(const WCHAR* text, IWMProfile** profile) override;
    HRESULT SaveProfile(IWMProfile* profile, WCHAR* text, DWORD* length) override;
    HRESULT GetSystemProfileCount(DWORD* count) override;
    HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile) override;

private:
    friend class PlatformObject<WMProfileManager, IWMProfileManager, IID_IWMProfileManager>;
    WMProfileManager() = default;
};
