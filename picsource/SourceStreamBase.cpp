#include "picsource/SourceStreamBase.h"

#include "picsource/SourceFilterBase.h"
#include "platform/thread/Threads.h"

SourceStreamBase::SourceStreamBase(SourceFilterBase& owner, const char16_t* name) : OutputPinBase(owner, name)
{
    owner.AddPin(this);
}

SourceStreamBase::~SourceStreamBase()
{
    Close();
    Filter().RemovePin(this);
}

HRESULT SourceStreamBase::Active()
{
    std::lock_guard guard(Filter().StateLock());
    if (!Filter().IsStopped()) return S_FALSE;
    if (!IsConnected()) return S_OK;
    HRESULT hr = OutputPinBase::Active();
    if (FAILED(hr)) return hr;
    if (!Create()) return E_FAIL;
    hr = CallWorker(CMD_INIT);
    if (FAILED(hr)) {
        // The worker has ended after its failed start: collect it so that Stop finds none.
        Close();
        return hr;
    }
    return CallWorker(CMD_PAUSE);
}

HRESULT SourceStreamBase::Inactive()
{
    std::lock_guard guard(Filter().StateLock());
    if (!IsConnected()) return S_OK;
    // Decommitting first frees a worker that waits for a sample.
    HRESULT hr = OutputPinBase::Inactive();
    if (FAILED(hr)) return hr;
    if (ThreadExists()) {
        hr = CallWorker(CMD_STOP);
        if (SUCCEEDED(hr)) hr = CallWorker(CMD_EXIT);
        Close();
    }
    return FAILED(hr) ? hr : S_OK;
}

DWORD SourceStreamBase::ThreadProc()
{
    for (;;) {
        const DWORD command = GetRequest();
        if (command == CMD_INIT) break;
        Reply(static_cast<DWORD>(E_UNEXPECTED));
    }
    const HRESULT created = OnThreadCreate();
    if (FAILED(created)) {
        OnThreadDestroy();
        Reply(static_cast<DWORD>(created));
        return 1;
    }
    Reply(S_OK);

    DWORD command;
    do {
        command = GetRequest();
        switch (command) {
        case CMD_PAUSE:
        case CMD_RUN:
            Reply(S_OK);
            DoBufferProcessingLoop();
            break;
        case CMD_STOP:
        case CMD_EXIT:
            Reply(S_OK);
            break;
        default:
            Reply(static_cast<DWORD>(E_NOTIMPL));
            break;
        }
    } while (command != CMD_EXIT);

    return FAILED(OnThreadDestroy()) ? 1 : 0;
}

HRESULT SourceStreamBase::DoBufferProcessingLoop()
{
    OnThreadStartPlay();
    for (;;) {
        DWORD command;
        while (!CheckRequest(&command)) {
            ComPtr<IMediaSample> sample;
            if (FAILED(GetDeliveryBuffer(sample.Receive(), nullptr, nullptr, 0)) || !sample) {
                Sleep(1);
                continue;
            }
            const HRESULT filled = FillBuffer(sample.Get());
            if (filled == S_OK) {
                const HRESULT delivered = Deliver(sample.Get());
                sample.Reset();
                if (delivered != S_OK) return S_OK;
                continue;
            }
            sample.Reset();
            DeliverEndOfStream();
            if (filled == S_FALSE) return S_OK;
            AbortStream(filled);
            return filled;
        }
        if (command == CMD_STOP) return S_FALSE;
        Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
    }
}

void SourceStreamBase::AbortStream(HRESULT failure) { Filter().NotifyEvent(EC_ERRORABORT, failure, 0); }
