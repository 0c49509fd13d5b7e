// An output pin that pushes samples from a worker thread of its own: the worker
// starts when the filter leaves Stopped and ends when it returns there; while it
// runs it fills samples (FillBuffer) and delivers them until the stream ends or a
// command arrives.
#pragma once

#include "picsource/OutputPinBase.h"
#include "picsource/WorkerThread.h"

class SourceStreamBase : public OutputPinBase, protected WorkerThread {
public:
    // Enters the filter's pin array; leaves it on destruction.
    SourceStreamBase(SourceFilterBase& filter, const char16_t* name);
    ~SourceStreamBase() override;

    HRESULT Active() override;
    HRESULT Inactive() override;

protected:
    DWORD ThreadProc() override;
    // S_OK: deliver the sample; S_FALSE: the stream has ended; else a failure.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
    virtual HRESULT OnThreadCreate() { return S_OK; }
    virtual HRESULT OnThreadDestroy() { return S_OK; }
    virtual HRESULT OnThreadStartPlay() { return S_OK; }
    virtual HRESULT DoBufferProcessingLoop();

private:
    // Ends the stream after an unexpected failure of FillBuffer.
    void AbortStream(HRESULT failure);
};
