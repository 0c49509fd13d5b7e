// IMediaSeeking over start, stop, duration and rate values in media time
// (100 ns units), guarded by the owner's stream lock. The owner learns of changes
// through ChangeStart, ChangeStop and ChangeRate, called outside the lock.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

#include <mutex>

class SeekingBase : public IMediaSeeking {
public:
    static constexpr LONGLONG kUnlimited = 0x3FFFFFFFFFFFFFFFLL;
    static constexpr DWORD kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                           AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetStopPos |
                                           AM_SEEKING_CanGetDuration;

    explicit SeekingBase(std::mutex& positionLock) : streamLock(positionLock) {}
    virtual ~SeekingBase() = default;

    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(LONGLONG* preroll) override;

protected:
    virtual HRESULT ChangeStart() = 0;
    virtual HRESULT ChangeStop() = 0;
    virtual HRESULT ChangeRate() = 0;

    // Under the stream lock.
    REFERENCE_TIME seekStart = 0;
    REFERENCE_TIME seekStop = kUnlimited;
    REFERENCE_TIME seekDuration = kUnlimited;
    double seekRate = 1.0;

private:
    std::mutex& streamLock;
};
