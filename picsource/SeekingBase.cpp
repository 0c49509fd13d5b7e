#include "picsource/SeekingBase.h"

namespace {

bool IsMediaTime(const GUID* format) { return format && *format == TIME_FORMAT_MEDIA_TIME; }

} // namespace

HRESULT SeekingBase::GetCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    *capabilities = kCapabilities;
    return S_OK;
}

HRESULT SeekingBase::CheckCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    return (*capabilities & ~kCapabilities) != 0 ? S_FALSE : S_OK;
}

HRESULT SeekingBase::IsFormatSupported(const GUID* format)
{
    if (!format) return E_POINTER;
    return IsMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT SeekingBase::QueryPreferredFormat(GUID* format)
{
    if (!format) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT SeekingBase::GetTimeFormat(GUID* format) { return QueryPreferredFormat(format); }

HRESULT SeekingBase::IsUsingTimeFormat(const GUID* format)
{
    if (!format) return E_POINTER;
    return IsMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT SeekingBase::SetTimeFormat(const GUID* format)
{
    if (!format) return E_POINTER;
    return IsMediaTime(format) ? S_OK : E_INVALIDARG;
}

HRESULT SeekingBase::GetDuration(LONGLONG* duration)
{
    if (!duration) return E_POINTER;
    std::lock_guard lock(streamLock);
    *duration = seekDuration;
    return S_OK;
}

HRESULT SeekingBase::GetStopPosition(LONGLONG* stop)
{
    if (!stop) return E_POINTER;
    std::lock_guard lock(streamLock);
    *stop = seekStop;
    return S_OK;
}

HRESULT SeekingBase::GetCurrentPosition(LONGLONG*) { return E_NOTIMPL; }

HRESULT SeekingBase::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                       const GUID* sourceFormat)
{
    if (!target) return E_POINTER;
    const bool targetOk = !targetFormat || IsMediaTime(targetFormat);
    const bool sourceOk = !sourceFormat || IsMediaTime(sourceFormat);
    if (!targetOk || !sourceOk) return E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT SeekingBase::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags)
{
    const DWORD stopBits = stopFlags & AM_SEEKING_PositioningBitsMask;
    const DWORD startBits = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (stopFlags != 0) {
        if (!stop) return E_POINTER;
        if ((stopFlags & ~AM_SEEKING_PositioningBitsMask) != 0) return E_INVALIDARG;
    }
    if (currentFlags != 0) {
        if (!current) return E_POINTER;
        if (startBits != AM_SEEKING_AbsolutePositioning && startBits != AM_SEEKING_RelativePositioning)
            return E_INVALIDARG;
    }
    {
        std::lock_guard lock(streamLock);
        if (startBits == AM_SEEKING_AbsolutePositioning)
            seekStart = *current;
        else if (startBits == AM_SEEKING_RelativePositioning)
            seekStart += *current;
        if (stopBits == AM_SEEKING_AbsolutePositioning)
            seekStop = *stop;
        else if (stopBits == AM_SEEKING_IncrementalPositioning)
            seekStop = seekStart + *stop;
        else if (stopBits == AM_SEEKING_RelativePositioning)
            seekStop += *stop;
    }
    HRESULT hr = S_OK;
    if (stopBits != 0) hr = ChangeStop();
    if (startBits != 0) hr = ChangeStart();
    return hr;
}

HRESULT SeekingBase::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    std::lock_guard lock(streamLock);
    if (current) *current = seekStart;
    if (stop) *stop = seekStop;
    return S_OK;
}

HRESULT SeekingBase::GetAvailable(LONGLONG* earliest, LONGLONG* latest)
{
    std::lock_guard lock(streamLock);
    if (earliest) *earliest = 0;
    if (latest) *latest = seekDuration;
    return S_OK;
}

HRESULT SeekingBase::SetRate(double rate)
{
    {
        std::lock_guard lock(streamLock);
        seekRate = rate;
    }
    return ChangeRate();
}

HRESULT SeekingBase::GetRate(double* rate)
{
    if (!rate) return E_POINTER;
    std::lock_guard lock(streamLock);
    *rate = seekRate;
    return S_OK;
}

HRESULT SeekingBase::GetPreroll(LONGLONG* preroll)
{
    if (!preroll) return E_POINTER;
    *preroll = 0;
    return S_OK;
}
