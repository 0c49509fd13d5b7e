// The registry files on disk: where they live, locked reads and atomic whole-file changes.
//
// The user's file is $REELSMITH_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/reelsmith/registry.reg.
// The machine-wide file, $REELSMITH_MACHINE_REGISTRY or else the path the build names
// (/var/lib/reelsmith/registry.reg for an installed package), is read under the user's, as
// HKEY_LOCAL_MACHINE's classes lie under HKEY_CURRENT_USER's in HKEY_CLASSES_ROOT: a key of
// either file is seen, and a value of the user's shadows the machine's value of that name.
// Changes go to the user's file alone; the machine-wide file is filled by running regsvr
// with $REELSMITH_REGISTRY naming it.
// Readers hold a shared and writers an exclusive flock on the companion file "<file>.lock";
// a writer re-reads the file under its lock, applies its change, writes a temporary file in
// the same folder, flushes it to disk and renames it over the old one. A missing file is an
// empty registry. A user's file that cannot be parsed is never written over: calls answer
// ERROR_BADDB. A machine-wide file that cannot be read or parsed is passed over, as if it
// were missing. Either is reported once per process, in one line on standard error that
// names the file and what is wrong with it (the line of a parse error, a refused read).
//
// A transaction makes a whole run of calls one change: while it is open the process holds
// the user's file under its exclusive lock, so other processes' changes wait, and every
// call of the process reads and changes one copy of it that the commit writes once.
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
    static std::string MachineFilePath();

    // Runs `read` over the current contents of both files and answers what it answers.
    static LONG Read(const std::function<LONG(const RegistryTree&)>& read);
    // Runs `change` over the current contents of the user's file, with the machine-wide
    // file's beside it; when it answers ERROR_SUCCESS and has set `changed`, the result
    // replaces the user's file.
    using Change = std::function<LONG(RegistryTree& user, const RegistryTree& machine, bool& changed)>;
    static LONG Modify(const Change& change);

    // Opens the process's transaction (ERROR_LOCK_VIOLATION when one is open); answers what locking
    // and reading the user's file answered, and opens nothing on a failure.
    static LONG BeginTransaction();
    // Writes the transaction's changes, when there are any, and closes it (ERROR_INVALID_PARAMETER
    // when none is open).
    static LONG CommitTransaction();

    // The file problem the latest read of the registry met and reported on standard error
    // (which file, what is wrong with it), for a front end whose user does not see
    // standard error; empty when that read met none.
    static std::string LastProblem();
};
