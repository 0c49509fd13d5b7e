// A stream configuration handed out by a profile: a copy of one stream that
// the caller may change and give back through IWMProfile::ReconfigStream.
// Audio streams do not answer IWMVideoMediaProps.
#pragma once

#include "platform/mediagraph/PlatformObject.h"
#include "platform/wmformat/ProfileStream.h"

class WMStreamConfig final : public PlatformObject<WMStreamConfig, IWMStreamConfig, IID_IWMStreamConfig>,
                             public IWMVideoMediaProps {
public:
    // A new configuration with one reference; nullptr without memory.
    static WMStreamConfig* Make(const ProfileStream& stream);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return PlatformObject::AddRef(); }
    ULONG Release() override { return PlatformObject::Release(); }

    HRESULT GetStreamType(GUID* type) override;
    HRESULT GetStreamNumber(WORD* number) override;
    HRESULT SetStreamNumber(WORD number) override;
    HRESULT GetStreamName(WCHAR* name, WORD* length) override;
    HRESULT SetStreamName(WCHAR* name) override;
    HRESULT GetConnectionName(WCHAR* name, WORD* length) override;
    HRESULT SetConnectionName(WCHAR* name) override;
    HRESULT GetBitrate(DWORD* bitrate) override;
    HRESULT SetBitrate(DWORD bitrate) override;
    HRESULT GetBufferWindow(DWORD* milliseconds) override;
    HRESULT SetBufferWindow(DWORD milliseconds) override;

    HRESULT GetType(GUID* type) override;
    HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
    HRESULT SetMediaType(WM_MEDIA_TYPE* type) override;
    HRESULT GetMaxKeyFrameSpacing(LONGLONG* time) override;
    HRESULT SetMaxKeyFrameSpacing(LONGLONG time) override;
    HRESULT GetQuality(DWORD* quality) override;
    HRESULT SetQuality(DWORD quality) override;

private:
    friend class PlatformObject<WMStreamConfig, IWMStreamConfig, IID_IWMStreamConfig>;
    WMStreamConfig() = default;

    ProfileStream stream;
};
