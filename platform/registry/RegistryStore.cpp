#include "platform/registry/RegistryStore.h"

#include "platform/registry/RegistryText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kDefaultRelativePath = "reelsmith/registry.reg";
constexpr const char* kTooLarge = "larger than the 8 MiB a registry file may hold";

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

// The XDG base-directory rules: only an absolute XDG_CONFIG_HOME counts.
std::string ConfigFolder()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') return config;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

// A registry file reached through a symbolic link stays a link: changes go to its target.
std::string ResolvedPath(const std::string& path)
{
    char* target = realpath(path.c_str(), nullptr);
    if (!target) return path;
    std::string resolved = target;
    std::free(target);
    return resolved;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Creates the folder and its missing parents, private to the user as XDG asks.
bool MakeFolders(const std::string& folder)
{
    struct stat status;
    if (stat(folder.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    const std::string parent = FolderOf(folder);
    if (parent != folder && !MakeFolders(parent)) return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : descriptor(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : descriptor(other.descriptor) { other.descriptor = -1; }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        std::swap(descriptor, other.descriptor);
        return *this;
    }
    ~FileDescriptor()
    {
        if (descriptor >= 0) close(descriptor);
    }
    int Get() const { return descriptor; }
    bool Valid() const { return descriptor >= 0; }

private:
    int descriptor;
};

// Opens the lock file and takes the lock, retrying when a signal interrupts the wait.
FileDescriptor Lock(const std::string& path, int operation)
{
    const std::string lockPath = path + ".lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 && operation == LOCK_SH) fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    FileDescriptor lock(fd);
    if (!lock.Valid()) return lock;
    while (flock(lock.Get(), operation) != 0) {
        if (errno != EINTR) return FileDescriptor();
    }
    return lock;
}

bool ReadAll(int fd, std::string& text)
{
    char buffer[65536];
    while (true) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (text.size() + static_cast<std::size_t>(got) > RegistryStore::kMaxFileBytes) return false;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string SystemReason(int error) { return std::strerror(error); }

// A missing file is an empty registry. `problem` says what is wrong with a file that
// cannot be used.
LONG Load(const std::string& path, RegistryTree& tree, std::string& problem)
{
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) {
        if (errno != ENOENT) {
            problem = SystemReason(errno);
            return ERROR_CANTREAD;
        }
        tree = RegistryTree();
        return ERROR_SUCCESS;
    }
    struct stat status;
    if (fstat(file.Get(), &status) != 0) {
        problem = SystemReason(errno);
        return ERROR_CANTREAD;
    }
    if (static_cast<std::size_t>(status.st_size) > RegistryStore::kMaxFileBytes) {
        problem = kTooLarge;
        return ERROR_BADDB;
    }
    std::string text;
    errno = 0;
    if (!ReadAll(file.Get(), text)) {
        problem = errno ? SystemReason(errno) : std::string(kTooLarge);
        return ERROR_CANTREAD;
    }
    auto parsed = RegistryText::Parse(text, &problem);
    if (!parsed) return ERROR_BADDB;
    tree = std::move(*parsed);
    return ERROR_SUCCESS;
}

struct Problems {
    std::mutex mutex;
    std::set<std::string> reported;
    std::string last;
};

Problems& ReportedProblems()
{
    static Problems problems;
    return problems;
}

// One line on standard error for each file problem, however often the file is read.
void ReportOnce(const std::string& line)
{
    Problems& problems = ReportedProblems();
    const std::lock_guard guard(problems.mutex);
    problems.last = line;
    if (problems.reported.insert(line).second)
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, line.c_str());
}

// A read starts afresh: the last problem is one of the latest read, not of a file mended
// since.
void ForgetLastProblem()
{
    Problems& problems = ReportedProblems();
    const std::lock_guard guard(problems.mutex);
    problems.last.clear();
}

// Without a lock file (a folder not yet made, or read-only) the reader still sees a whole
// file: writers only ever rename complete files into place. A missing file gets no lock
// file made for it.
LONG LoadLocked(const std::string& path, RegistryTree& tree, std::string& problem)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0 && errno == ENOENT) {
        tree = RegistryTree();
        return ERROR_SUCCESS;
    }
    const FileDescriptor lock = Lock(path, LOCK_SH);
    return Load(path, tree, problem);
}

// The user's file, or the problem that keeps every call from it reported.
LONG LoadUsers(const std::string& path, RegistryTree& tree, bool locked)
{
    std::string problem;
    const LONG loaded = locked ? Load(path, tree, problem) : LoadLocked(path, tree, problem);
    if (loaded != ERROR_SUCCESS) ReportOnce("the registry file " + path + " cannot be used: " + problem);
    return loaded;
}

// The machine-wide file under the user's `userPath`: one that cannot be used is reported
// and passed over, so that the user's own registrations still work. When both are one
// file it is read once, as the user's. Every read of the registry begins here.
RegistryTree LoadMachine(const std::string& userPath)
{
    ForgetLastProblem();
    RegistryTree tree;
    const std::string path = ResolvedPath(RegistryStore::MachineFilePath());
    if (path == userPath) return tree;
    std::string problem;
    if (LoadLocked(path, tree, problem) != ERROR_SUCCESS) {
        ReportOnce("the machine-wide registry file " + path + " is passed over: " + problem);
        tree = RegistryTree();
    }
    return tree;
}

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t put = write(fd, text.data(), text.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// The old file's permissions carry over; a new file is private to the user.
mode_t ModeFor(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0600;
}

void SyncFolder(const std::string& folder)
{
    FileDescriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Valid()) fsync(directory.Get());
}

LONG Store(const std::string& path, const RegistryTree& tree)
{
    const std::string text = RegistryText::Format(tree);
    if (text.size() > RegistryStore::kMaxFileBytes) return ERROR_CANTWRITE;
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return ERROR_CANTWRITE;
    {
        FileDescriptor file(fd);
        const bool written = fchmod(fd, ModeFor(path)) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
        if (!written) {
            unlink(temporary.c_str());
            return ERROR_CANTWRITE;
        }
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return ERROR_CANTWRITE;
    }
    SyncFolder(FolderOf(path));
    return ERROR_SUCCESS;
}

// Takes the user's file for a change: its exclusive lock and its contents under it.
LONG LockForChange(const std::string& path, FileDescriptor& lock, RegistryTree& tree)
{
    if (!MakeFolders(FolderOf(path))) return ERROR_CANTWRITE;
    lock = Lock(path, LOCK_EX);
    if (!lock.Valid()) return ERROR_LOCK_VIOLATION;
    return LoadUsers(path, tree, true);
}

// The process's open transaction: the user's file held under its lock, with the copy
// every call of the process reads and changes until it is committed.
struct Transaction {
    std::string path;
    FileDescriptor lock;
    RegistryTree user;
    RegistryTree machine;
    bool changed = false;
};

struct TransactionSlot {
    std::mutex mutex;
    std::optional<Transaction> open;
};

TransactionSlot& Transactions()
{
    static TransactionSlot slot;
    return slot;
}

RegistryTree Merged(const RegistryTree& machine, const RegistryTree& user, bool& fits)
{
    RegistryTree tree = machine;
    fits = tree.Overlay(user);
    return tree;
}

} // namespace

std::string RegistryStore::FilePath()
{
    if (const char* path = std::getenv("REELSMITH_REGISTRY"); path && *path) return path;
    const std::string config = ConfigFolder();
    return config.empty() ? std::string() : config + "/" + std::string(kDefaultRelativePath);
}

std::string RegistryStore::MachineFilePath()
{
    if (const char* path = std::getenv("REELSMITH_MACHINE_REGISTRY"); path && *path) return path;
    return REELSMITH_MACHINE_REGISTRY_PATH;
}

LONG RegistryStore::Read(const std::function<LONG(const RegistryTree&)>& read)
{
    TransactionSlot& slot = Transactions();
    std::unique_lock guard(slot.mutex);
    bool fits = true;
    if (slot.open) {
        const RegistryTree tree = Merged(slot.open->machine, slot.open->user, fits);
        return fits ? read(tree) : ERROR_BADDB;
    }
    guard.unlock();
    const std::string path = ResolvedPath(FilePath());
    if (path.empty()) return ERROR_CANTOPEN;
    const RegistryTree machine = LoadMachine(path);
    RegistryTree user;
    if (const LONG loaded = LoadUsers(path, user, false); loaded != ERROR_SUCCESS) return loaded;
    const RegistryTree tree = Merged(machine, user, fits);
    return fits ? read(tree) : ERROR_BADDB;
}

LONG RegistryStore::Modify(const Change& change)
{
    TransactionSlot& slot = Transactions();
    std::unique_lock guard(slot.mutex);
    if (slot.open) {
        // A change that fails leaves the copy as it was, as it leaves the file.
        RegistryTree tree = slot.open->user;
        bool changed = false;
        const LONG result = change(tree, slot.open->machine, changed);
        if (result != ERROR_SUCCESS || !changed) return result;
        slot.open->user = std::move(tree);
        slot.open->changed = true;
        return ERROR_SUCCESS;
    }
    guard.unlock();
    const std::string path = ResolvedPath(FilePath());
    if (path.empty()) return ERROR_CANTOPEN;
    // Read whole before the user's file is locked: the two may be one file.
    const RegistryTree machine = LoadMachine(path);
    FileDescriptor lock;
    RegistryTree tree;
    if (const LONG locked = LockForChange(path, lock, tree); locked != ERROR_SUCCESS) return locked;
    bool changed = false;
    const LONG result = change(tree, machine, changed);
    if (result != ERROR_SUCCESS || !changed) return result;
    return Store(path, tree);
}

LONG RegistryStore::BeginTransaction()
{
    TransactionSlot& slot = Transactions();
    const std::lock_guard guard(slot.mutex);
    if (slot.open) return ERROR_LOCK_VIOLATION;
    Transaction transaction;
    transaction.path = ResolvedPath(FilePath());
    if (transaction.path.empty()) return ERROR_CANTOPEN;
    transaction.machine = LoadMachine(transaction.path);
    const LONG locked = LockForChange(transaction.path, transaction.lock, transaction.user);
    if (locked == ERROR_SUCCESS) slot.open = std::move(transaction);
    return locked;
}

LONG RegistryStore::CommitTransaction()
{
    TransactionSlot& slot = Transactions();
    const std::lock_guard guard(slot.mutex);
    if (!slot.open) return ERROR_INVALID_PARAMETER;
    const LONG result = slot.open->changed ? Store(slot.open->path, slot.open->user) : ERROR_SUCCESS;
    slot.open.reset();
    return result;
}

std::string RegistryStore::LastProblem()
{
    Problems& problems = ReportedProblems();
    const std::lock_guard guard(problems.mutex);
    return problems.last;
}
