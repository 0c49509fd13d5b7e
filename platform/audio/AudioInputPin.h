// The input of the audio renderer: 8- or 16-bit PCM in a WAVEFORMATEX, one to
// eight channels. The renderer opens its output device when the connection is
// made, so a format the device refuses refuses the connection.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

class AudioRenderer;

class AudioInputPin final : public PlatformPin {
public:
    explicit AudioInputPin(AudioRenderer& renderer);

    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect() override;
    void BreakConnect() override;

    AudioRenderer& renderer;
};
