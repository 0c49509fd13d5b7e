// CLSID_MediaDet: what a media file holds, read with FFmpeg. A file's audio
// and video streams are its output streams, in file order (a JPEG picture is
// one video stream, a sound file one audio stream); other streams are not
// counted. A file FFmpeg cannot recognise with confidence, such as a text
// file, is refused with VFW_E_INVALID_FILE_FORMAT; a missing one with
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
//
// get_StreamMediaType describes the stream as it decodes: 16-bit PCM at the
// stream's rate and channels, or RGB24 at the picture's size. GetBitmapBits
// decodes the first video frame at or after the time into a BITMAPINFOHEADER
// and 24-bit bottom-up rows, each padded to 4 bytes, scaled to the asked size.
// Text handed out (get_Filename) is task memory freed with CoTaskMemFree.
#pragma once

#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/PlatformObject.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class MediaDet final : public PlatformObject<MediaDet, IMediaDet, IID_IMediaDet> {
public:
    MediaDet();
    MediaDet(const MediaDet&) = delete;
    MediaDet& operator=(const MediaDet&) = delete;

    HRESULT get_OutputStreams(LONG* count) override;
    HRESULT get_CurrentStream(LONG* stream) override;
    HRESULT put_CurrentStream(LONG stream) override;
    HRESULT get_StreamType(GUID* type) override;
    HRESULT get_StreamLength(double* seconds) override;
    HRESULT get_Filename(BSTR* name) override;
    HRESULT put_Filename(BSTR name) override;
    HRESULT GetBitmapBits(double streamTime, LONG* bufferSize, char* buffer, LONG width, LONG height) override;
    HRESULT get_StreamMediaType(AM_MEDIA_TYPE* type) override;

private:
    friend PlatformObject;
    ~MediaDet();

    struct File;
    // Under the lock: the file's stream index of the current output stream, or -1.
    int CurrentFileStream() const;
    int FirstVideoStream() const;
    HRESULT DecodeFrameInto(int stream, double streamTime, BYTE* pixels, LONG width, LONG height);

    std::mutex lock;
    std::unique_ptr<File> file;
    std::u16string fileName;
    std::vector<int> streams;
    LONG current = 0;
};
