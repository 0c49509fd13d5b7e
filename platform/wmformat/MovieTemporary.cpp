#include "platform/wmformat/MovieTemporary.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTemporaryNameAttempts = 100;
// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;
constexpr std::size_t kNameDigits = 8;
constexpr const char* kSuffix = ".part";

// The file a name stands for: a symbolic link's target, followed to its end.
HRESULT FollowLinks(std::filesystem::path name, std::string* resolved)
{
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat found {};
        if (lstat(name.c_str(), &found) != 0 || !S_ISLNK(found.st_mode)) {
            *resolved = name.string();
            return S_OK;
        }
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(name, error);
        if (error) return HresultFromErrno(error.value());
        name = link.is_absolute() ? link : name.parent_path() / link;
    }
    return HresultFromErrno(ELOOP);
}

// Whether the final rename may replace what the name holds: nothing, or a regular
// file, whose permissions `mode` receives (0 when there is none).
HRESULT CheckTarget(const std::string& target, mode_t* mode)
{
    struct stat found {};
    *mode = 0;
    if (stat(target.c_str(), &found) != 0) return errno == ENOENT ? S_OK : HresultFromErrno(errno);
    if (S_ISDIR(found.st_mode)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    if (!S_ISREG(found.st_mode)) return HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
    *mode = found.st_mode & 0777;
    return S_OK;
}

std::string TemporaryPrefix(const std::filesystem::path& movie) { return "." + movie.filename().string() + "."; }

bool IsTemporaryOf(const std::string& entry, const std::filesystem::path& movie)
{
    const std::string prefix = TemporaryPrefix(movie);
    if (entry.size() != prefix.size() + kNameDigits + std::char_traits<char>::length(kSuffix) ||
        !entry.starts_with(prefix) || !entry.ends_with(kSuffix))
        return false;
    for (std::size_t i = prefix.size(); i < prefix.size() + kNameDigits; ++i) {
        if (!((entry[i] >= '0' && entry[i] <= '9') || (entry[i] >= 'a' && entry[i] <= 'f'))) return false;
    }
    return true;
}

// Whether the name still stands for the regular file the descriptor has open.
bool StillNamed(int descriptor, const std::filesystem::path& name)
{
    struct stat opened {};
    struct stat named {};
    return fstat(descriptor, &opened) == 0 && lstat(name.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A run that was killed leaves its temporary; a running one holds its lock.
void RemoveStaleTemporaries(const std::filesystem::path& movie)
{
    const std::filesystem::path folder = movie.has_parent_path() ? movie.parent_path() : ".";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::filesystem::path& name = entry->path();
        if (!IsTemporaryOf(name.filename().string(), movie)) continue;
        const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (descriptor < 0) continue;
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0 && StillNamed(descriptor, name)) unlink(name.c_str());
        close(descriptor);
    }
}

} // namespace

HRESULT HresultFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOSPC:
    case EDQUOT:
        return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case EFBIG:
        return HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL);
    case EIO:
        return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return E_FAIL;
    }
}

HRESULT MovieTemporary::Create(const std::string& moviePath)
{
    Remove();
    mode_t mode = 0;
    HRESULT hr = FollowLinks(moviePath, &target);
    if (SUCCEEDED(hr)) hr = CheckTarget(target, &mode);
    if (FAILED(hr)) return hr;
    RemoveStaleTemporaries(target);
    return CreateLocked();
}

// Created with the permissions a plain new file gets.
HRESULT MovieTemporary::CreateLocked()
{
    const std::filesystem::path movie(target);
    std::random_device random;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random()));
        const std::filesystem::path candidate = movie.parent_path() / (TemporaryPrefix(movie) + digits + kSuffix);
        const int created = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0 && errno == EEXIST) continue;
        if (created < 0) return HresultFromErrno(errno);
        // Between the two calls another run clearing stale temporaries may have taken
        // it: that run removes it. A file system without locks still gets its movie.
        const bool taken =
            flock(created, LOCK_EX | LOCK_NB) != 0 ? errno == EWOULDBLOCK : !StillNamed(created, candidate);
        if (taken) {
            close(created);
            continue;
        }
        descriptor = created;
        path = candidate.string();
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

HRESULT MovieTemporary::Commit()
{
    mode_t mode = 0;
    HRESULT hr = CheckTarget(target, &mode);
    if (SUCCEEDED(hr) && mode != 0 && fchmod(descriptor, mode) != 0) hr = HresultFromErrno(errno);
    if (SUCCEEDED(hr) && std::rename(path.c_str(), target.c_str()) != 0) hr = HresultFromErrno(errno);
    if (FAILED(hr)) {
        Remove();
        return hr;
    }
    path.clear();
    Release();
    return S_OK;
}

// Unlinked before its lock goes, so no other run takes it for stale in between.
void MovieTemporary::Remove()
{
    if (!path.empty()) unlink(path.c_str());
    path.clear();
    Release();
}

void MovieTemporary::Release()
{
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}
