// regsvr: registers an in-process server library by calling its DllRegisterServer,
// or unregisters it with -u through DllUnregisterServer.
//
// Exit status: 0 success, 1 wrong arguments, 3 library not loadable, 4 entry point missing,
// 5 the entry point answered a failure code or its changes could not be written.
#include "platform/com/Com.h"
#include "platform/registry/RegistryStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitNotLoaded = 3;
constexpr int kExitNoEntryPoint = 4;
constexpr int kExitFailed = 5;

void PrintUsage(std::FILE* out)
{
    std::fprintf(out, "usage: regsvr [-u] LIBRARY\n"
                      "       regsvr --help | --version\n"
                      "Calls DllRegisterServer of the in-process server LIBRARY (with -u: DllUnregisterServer)\n"
                      "and prints the result code it answers.\n"
                      "Exit status: 0 success, 1 wrong arguments, 3 library not loadable,\n"
                      "4 entry point missing, 5 the entry point answered a failure code\n"
                      "or its changes could not be written to the registry.\n");
}

// A library named by an existing file is loaded by its full path (so the messages name it
// exactly); any other name goes to the dynamic loader's own search.
std::string LibraryPath(const char* argument)
{
    char* resolved = realpath(argument, nullptr);
    if (!resolved) return argument;
    std::string path = resolved;
    std::free(resolved);
    return path;
}

// The whole registration is one change of the registry file, which concurrent runs wait
// for: another run never sees, nor interleaves its changes with, half of it. What the entry
// point changed is written even when it answers a failure, as its calls would have
// written it one by one. Without a transaction the calls answer the registry's failure.
// Answers whether the changes were written.
bool CallInTransaction(DllRegisterServerFn call, HRESULT& result)
{
    const bool transaction = RegistryStore::BeginTransaction() == ERROR_SUCCESS;
    result = call();
    if (!transaction) return true;
    const LONG written = RegistryStore::CommitTransaction();
    if (written == ERROR_SUCCESS) return true;
    std::fprintf(stderr, "regsvr: the changes could not be written to the registry file %s (error %ld)\n",
                 RegistryStore::FilePath().c_str(), static_cast<long>(written));
    return false;
}

int CallEntryPoint(const std::string& library, const char* entryPoint)
{
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", library.c_str(), dlerror());
        return kExitNotLoaded;
    }
    const auto call = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, entryPoint));
    if (!call) {
        std::fprintf(stderr, "regsvr: %s has no entry point %s\n", library.c_str(), entryPoint);
        dlclose(handle);
        return kExitNoEntryPoint;
    }
    HRESULT result = S_OK;
    const bool written = CallInTransaction(call, result);
    dlclose(handle);
    std::FILE* out = SUCCEEDED(result) ? stdout : stderr;
    std::fprintf(out, "regsvr: %s in %s answered 0x%08X\n", entryPoint, library.c_str(), static_cast<unsigned>(result));
    return SUCCEEDED(result) && written ? EXIT_SUCCESS : kExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            PrintUsage(stdout);
            return EXIT_SUCCESS;
        }
        if (std::strcmp(argument, "--version") == 0) {
            std::printf("regsvr (Reelsmith) %s\n", REELSMITH_VERSION);
            return EXIT_SUCCESS;
        }
        if (std::strcmp(argument, "-u") == 0) {
            unregister = true;
        } else if (argument[0] == '-' || library) {
            std::fprintf(stderr, "regsvr: unexpected argument %s (see regsvr --help)\n", argument);
            return kExitUsage;
        } else {
            library = argument;
        }
    }
    if (!library) {
        std::fprintf(stderr, "regsvr: no library named (see regsvr --help)\n");
        return kExitUsage;
    }
    return CallEntryPoint(LibraryPath(library), unregister ? "DllUnregisterServer" : "DllRegisterServer");
}
