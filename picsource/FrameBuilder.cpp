#include "picsource/FrameBuilder.h"

#include "jpeg/JpegDecoder.h"
#include "picsource/MediaTypeRecord.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : descriptor(descriptor) {}
    ~FileDescriptor()
    {
        if (descriptor >= 0) close(descriptor);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return descriptor; }

private:
    int descriptor;
};

HRESULT ReadFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
}

// Releases the decoder's state on every path out of DecodePicture.
class DecoderSession {
public:
    DecoderSession() : ready(jpegInit(&context) == JpegSuccess) {}
    ~DecoderSession() { jpegFree(&context); }
    DecoderSession(const DecoderSession&) = delete;
    DecoderSession& operator=(const DecoderSession&) = delete;

    JpegContext context;
    const bool ready;
};

} // namespace

std::uint64_t FrameBuilder::FrameStride(LONG width) { return MediaTypeRecord::RowBytes(width, 24); }

bool FrameBuilder::Reserve(std::uint64_t size)
{
    if (size <= capacity) return true;
    fileBuffer.reset();
    capacity = 0;
    fileBuffer.reset(new (std::nothrow) BYTE[size]);
    if (!fileBuffer) return false;
    capacity = size;
    return true;
}

HRESULT FrameBuilder::ReadWhole(int descriptor, std::uint64_t size)
{
    std::uint64_t done = 0;
    while (done < size) {
        const ssize_t got = read(descriptor, fileBuffer.get() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return ReadFailure(errno);
        // The file shrank since it was measured.
        if (got == 0) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
        done += static_cast<std::uint64_t>(got);
    }
    return S_OK;
}

HRESULT FrameBuilder::LoadFile(const std::string& path)
{
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) return ReadFailure(errno);
    struct stat info{};
    if (fstat(file.Get(), &info) != 0) return ReadFailure(errno);
    if (!S_ISREG(info.st_mode)) return HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
    if (info.st_size <= 0) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > kMaxFileBytes) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    if (!Reserve(size)) return E_OUTOFMEMORY;
    fileSize = 0;
    const HRESULT hr = ReadWhole(file.Get(), size);
    if (SUCCEEDED(hr)) fileSize = size;
    return hr;
}

HRESULT FrameBuilder::DecodePicture(Picture& picture)
{
    DecoderSession session;
    if (!session.ready) return E_OUTOFMEMORY;
    JpegContext& c = session.context;
    c.inFileName = nullptr;
    c.inBuffer = fileBuffer.get();
    c.inBufferSize = static_cast<std::uint32_t>(fileSize);
    int rc = jpegRead(&c, ReadParamsBuffer);
    // Bytes that do not even start as a JPEG file (SOI, FF D8) are named for what they
    // are, whichever marker the decoder's search then stumbled on.
    const bool startsAsJpeg = fileSize >= 2 && fileBuffer[0] == 0xFF && fileBuffer[1] == 0xD8;
    if (rc != JpegSuccess) return startsAsJpeg ? rc : JpegNotJpeg;
    // Only colour and grey pictures become frames; anything else is refused before
    // any pixel memory is taken. A 3-channel picture keeps the colour the header
    // declares: Adobe's transform 0 codes R, G and B directly.
    if (c.imageChannels == 1) {
        c.imageColor = ColorGray;
    } else if (c.imageChannels != 3) {
        return JpegUnsupportedBytesPerPixel;
    }
    c.outColor = ColorRgb;
    c.outChannels = 3;
    const std::uint32_t width = c.imageWidth;
    const std::uint32_t height = c.imageHeight;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels == 0 || pixels > kMaxPicturePixels) return JpegNotSupported;
    // A few bytes can declare a huge frame: no pixel memory for more than they can code.
    if (jpegMinimumStreamBytes(&c) > fileSize) return JpegErrorEof;
    picture.pixels.reset(new (std::nothrow) BYTE[pixels * 3]);
    if (!picture.pixels) return E_OUTOFMEMORY;
    c.outWidth = width;
    c.outHeight = static_cast<std::int32_t>(height);
    c.outPadBytes = 0;
    c.outBuffer = picture.pixels.get();
    rc = jpegRead(&c, ReadImageBuffer);
    // The frame is built from the size the pixel block was made for; a read that
    // claims another one is not trusted.
    if (rc == JpegSuccess && (c.imageWidth != width || c.imageHeight != height || c.outChannels != 3))
        rc = JpegDataError;
    if (rc != JpegSuccess) {
        picture.pixels.reset();
        return rc;
    }
    picture.width = width;
    picture.height = height;
    return S_OK;
}

HRESULT FrameBuilder::ConvertToBottomUpBgr(const Picture& picture)
{
    const std::uint64_t stride = FrameStride(static_cast<LONG>(picture.width));
    if (!Reserve(stride * picture.height)) return E_OUTOFMEMORY;
    const std::size_t rowBytes = std::size_t{picture.width} * 3;
    for (std::uint32_t row = 0; row < picture.height; ++row) {
        const BYTE* source = picture.pixels.get() + rowBytes * row;
        BYTE* target = fileBuffer.get() + stride * (picture.height - 1 - row);
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            target[x] = source[x + 2];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x];
        }
        std::memset(target + rowBytes, 0, stride - rowBytes);
    }
    return S_OK;
}

void FrameBuilder::FitToFrame(std::uint32_t srcWidth, std::uint32_t srcHeight, BYTE* frame, LONG width,
                              LONG height) const
{
    if (width <= 0 || height <= 0) return;
    const std::uint64_t srcStride = FrameStride(static_cast<LONG>(srcWidth));
    const std::uint64_t dstStride = FrameStride(width);
    const BYTE* source = fileBuffer.get();
    if (srcWidth == static_cast<std::uint32_t>(width) && srcHeight == static_cast<std::uint32_t>(height)) {
        std::memcpy(frame, source, srcStride * srcHeight);
        return;
    }
    const double fx = static_cast<double>(srcWidth) / width;
    const double fy = static_cast<double>(srcHeight) / height;
    std::vector<std::uint32_t> columnOffset(static_cast<std::size_t>(width));
    for (LONG j = 0; j < width; ++j) columnOffset[static_cast<std::size_t>(j)] = 3 * static_cast<std::uint32_t>(j * fx);
    for (LONG i = 0; i < height; ++i) {
        const BYTE* sourceRow = source + static_cast<std::uint64_t>(i * fy) * srcStride;
        BYTE* targetRow = frame + static_cast<std::uint64_t>(i) * dstStride;
        for (LONG j = 0; j < width; ++j) {
            const BYTE* pixel = sourceRow + columnOffset[static_cast<std::size_t>(j)];
            targetRow[3 * j] = pixel[0];
            targetRow[3 * j + 1] = pixel[1];
            targetRow[3 * j + 2] = pixel[2];
        }
    }
}

HRESULT FrameBuilder::ReadPicture(const std::string& path, BYTE* frame, LONG width, LONG height)
{
    Picture picture;
    HRESULT hr = LoadFile(path);
    if (SUCCEEDED(hr)) hr = DecodePicture(picture);
    if (SUCCEEDED(hr)) hr = ConvertToBottomUpBgr(picture);
    if (FAILED(hr)) return hr;
    picture.pixels.reset();
    FitToFrame(picture.width, picture.height, frame, width, height);
    return S_OK;
}
