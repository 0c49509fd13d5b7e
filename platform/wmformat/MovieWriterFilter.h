// The movie writers' filter: writes the streams of a Windows Media profile into
// a movie file of the format its subclass chooses (WMAsfWriter: .wmv;
// MediaFileWriter: MP4 or WebM). IConfigAsfWriter::ConfigureFilterUsingProfile
// makes one input pin per profile stream; IFileSinkFilter names the file.
//
// A run starts when the filter leaves the stopped state: every input must be
// connected and a file named, else the pause fails. The file is written on
// the writer's own thread, one frame per video sample at the sample's time:
// Receive puts the sample into a short queue (EncodeQueue) and returns, so
// the sender makes its next sample while this one is encoded; a full queue
// holds the sender back. A video sample in one of the buffers the input
// offered is queued as it is, any other sample is copied. When every input has had end-of-stream and the queue
// has drained, the file is finished and EC_COMPLETE follows; a failure to
// write raises EC_ERRORABORT with its code once, refuses the later samples
// with it and leaves no file under the name. Stopping before the end drops
// what is queued and abandons the file; a flush drops its input's queued
// samples.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/PlatformFilter.h"
#include "platform/wmformat/EncodeQueue.h"
#include "platform/wmformat/FfmpegMovieEncoder.h"
#include "platform/wmformat/WriterInputPin.h"

#include <memory>
#include <thread>

class MovieWriterFilter : public PlatformFilter, public IConfigAsfWriter, public IFileSinkFilter {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override { return PlatformFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return PlatformFilter::AddRef(); }
    ULONG Release() override { return PlatformFilter::Release(); }

    HRESULT ConfigureFilterUsingProfileId(DWORD profileId) override;
    HRESULT GetCurrentProfileId(DWORD* profileId) override;
    HRESULT ConfigureFilterUsingProfileGuid(REFGUID profile) override;
    HRESULT GetCurrentProfileGuid(GUID* profile) override;
    HRESULT ConfigureFilterUsingProfile(IWMProfile* profile) override;
    HRESULT GetCurrentProfile(IWMProfile** profile) override;
    HRESULT SetIndexMode(BOOL indexFile) override;
    HRESULT GetIndexMode(BOOL* indexFile) override;

    HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

    // The input pins' calls, on the streaming threads.
    HRESULT Deliver(WriterInputPin& pin, IMediaSample* sample);
    HRESULT EndOfInput(WriterInputPin& pin);
    void BeginFlush(WriterInputPin& pin) { queue.BeginFlush(pin.StreamIndex()); }
    void EndFlush(WriterInputPin& pin) { queue.EndFlush(pin.StreamIndex()); }

    // The most samples and ends the queue held during the last run.
    std::size_t PeakQueueDepth() const { return queue.PeakDepth(); }
    bool WaitForQueueDepth(std::size_t depth, DWORD limitMs) { return queue.WaitForPeakDepth(depth, limitMs); }

protected:
    explicit MovieWriterFilter(const CLSID& clsid);
    ~MovieWriterFilter() override;

    HRESULT QueryOtherInterface(REFIID iid, void** object) override;
    // The container and encoders of the run's file; under the filter lock.
    virtual MovieFormat FileFormat() const = 0;
    const std::u16string& FileName() const { return fileName; }

private:
    std::vector<PlatformPin*> Pins() override;
    HRESULT OnStop() override;
    HRESULT OnPause() override;

    HRESULT StartFile();
    void StopEncoding();
    WriterInputPin* PinFor(const GUID& majorType, std::size_t ordinal);
    // The encoding thread: writes what is queued until the file is finished or given up.
    void EncodeQueued();
    // Writes one item; S_FALSE once it finished the file.
    HRESULT Encode(const EncodeItem& item, std::vector<bool>& ended);

    // Under the filter lock. Pins once made live as long as the filter: a new
    // profile reuses them by major type and order.
    std::vector<std::unique_ptr<WriterInputPin>> madePins;
    std::vector<WriterInputPin*> inputs;
    std::vector<ProfileStream> streams;
    ComPtr<IWMProfile> profile;
    std::u16string fileName;
    BOOL indexMode = TRUE;

    // Fixed while a run is on: what a whole video frame of each input counts (0 for sound).
    std::vector<std::size_t> inputBytes;
    EncodeQueue queue;
    // The run's file: the encoding thread's while it runs, but for Interrupt.
    FfmpegMovieEncoder file;
    std::thread encoder;
};
