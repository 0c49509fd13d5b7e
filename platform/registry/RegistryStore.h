// The registry file on disk: where it lives, locked reads and atomic whole-file changes.
//
// The file is $REELSMITH_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/reelsmith/registry.reg.
// Readers hold a shared and writers an exclusive flock on the companion file "<file>.lock";
// a writer re-reads the file under its lock, applies its change, writes a temporary file in
// the same folder, flushes it to disk and renames it over the old one. A missing file is an
// empty registry. A file that cannot be parsed is never written over: calls answer ERROR_BADDB.
#pragma once

#include "platform/registry/RegistryTree.h"

#include <functional>
#include <string>

class RegistryStore {
public:
    // Reads and writes answer this for a larger file rather than load it.
    static constexpr std::size_t kMaxFileBytes = 8u << 20;

    // Empty when neither the variables nor the user's home folder give a place.
    static std::string FilePath();

    // Runs `read` over the current contents and answers what it answers.
    static LONG Read(const std::function<LONG(const RegistryTree&)>& read);
    // Runs `change` over the current contents; when it answers ERROR_SUCCESS and has set
    // `changed`, the result replaces the file.
    static LONG Modify(const std::function<LONG(RegistryTree&, bool& changed)>& change);
};
