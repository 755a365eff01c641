// What the setup program changes on disk, as one all-or-nothing step: the files it places, the
// camera software's libraries it leaves alone, the Wine slot it fills and later restores, and the
// record of all of them that the uninstaller works from. The NSIS script (melvo_camera.nsi)
// decides what goes where; this part does it through the plug-in setup_plugin.cpp.
//
// Before anything changes, every file to be replaced or removed is checked for a program holding
// it and every folder to be written for write access. Then each change moves the old file aside
// and puts the new one in place; a failure moves everything back. Nothing half-done remains.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace setup {

enum class EntryKind {
    File,     // one of ours: placed and later removed
    StandIn,  // a stand-in for a camera software's library: placed only where no library of its name is
    Slot,     // a file put where another program looks (Wine's sane.ds), the one there before kept aside
    Folder,   // record only: a folder the setup made, removed at uninstall when nothing else is in it
};

// One line of a plan (what to place) or of the record (what was placed).
struct Entry {
    EntryKind kind = EntryKind::File;
    std::wstring target;                   // where the file lies
    std::wstring source;                   // plan: the file to put there; record: empty
    std::wstring backup;                   // Slot: where the file found there is kept; record: empty when none was
    std::vector<std::wstring> alsoLookIn;  // StandIn plan: further places where a library of its name counts
};

// Tab-separated, one entry a line, UTF-16LE with a byte-order mark (the NSIS script writes plans
// with FileWriteUTF16LE):  file <target> <source> | standin <target> <source> <place>|<place>... |
// slot <target> <source> <backup> | folder <path>. Returns false when the file cannot be read or a line is not one
// of these.
bool readEntries(const std::wstring& path, std::vector<Entry>* entries);
bool writeEntries(const std::wstring& path, const std::vector<Entry>& entries);

struct Outcome {
    enum Status { Done, Busy, Failed } status = Done;
    std::wstring message;              // Busy and Failed: what to tell the user; nothing has changed
    std::vector<std::wstring> report;  // Done: one line per file, for the setup's details
    uint64_t recordedBytes = 0;        // Done, install: the size of every file the record lists
};

// Places the plan and writes the record. A record from an earlier install is honoured: stand-ins it
// lists are ours to replace, its slots keep the file saved the first time, and what it lists that
// the plan no longer has is removed (or put back) as the uninstaller would.
Outcome install(const std::vector<Entry>& plan, const std::wstring& recordPath);

// Removes what the record lists, puts back what slots had, and removes the record. Files already
// gone are reported, not treated as failures.
Outcome uninstall(const std::wstring& recordPath);

// The programs that have the file loaded, as "name.exe (process 123)", joined by ", "; "another
// program" when the file is held but its holder cannot be named; empty when it is free or absent.
std::wstring holdersOf(const std::wstring& path);

}  // namespace setup
