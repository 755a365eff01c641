#include "file_changes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwctype>
#include <map>

namespace setup {
namespace {

const wchar_t UNDO_SUFFIX[] = L".melvo-undo";  // the old file while a change is under way

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

std::wstring folderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring fullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 2];
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 2) return path;
    wchar_t longer[MAX_PATH * 2];
    const DWORD longLength = GetLongPathNameW(full, longer, MAX_PATH * 2);
    return longLength == 0 || longLength >= MAX_PATH * 2 ? std::wstring(full) : std::wstring(longer);
}

std::wstring systemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"error " + std::to_wstring(error);
    if (text) LocalFree(text);
    while (!message.empty() && (iswspace(message.back()) || message.back() == L'.')) message.pop_back();
    return message;
}

uint64_t fileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A 32-bit setup on 64-bit Windows must reach the real System32 for the 64-bit libraries.
class RedirectionOff {
public:
    RedirectionOff()
    {
        typedef BOOL(WINAPI * Disable)(PVOID*);
        auto disable = reinterpret_cast<Disable>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64DisableWow64FsRedirection")));
        off_ = disable && disable(&old_);
    }
    ~RedirectionOff()
    {
        if (!off_) return;
        typedef BOOL(WINAPI * Revert)(PVOID);
        auto revert = reinterpret_cast<Revert>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64RevertWow64FsRedirection")));
        if (revert) revert(old_);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    PVOID old_ = nullptr;
    bool off_ = false;
};

// --- plan and record files -------------------------------------------------------------

const wchar_t* kindName(EntryKind kind)
{
    switch (kind) {
    case EntryKind::File:    return L"file";
    case EntryKind::StandIn: return L"standin";
    case EntryKind::Slot:    return L"slot";
    case EntryKind::Folder:  return L"folder";
    }
    return L"";
}

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::wstring::npos) return parts;
        start = at + 1;
    }
}

bool parseLine(const std::wstring& line, Entry* entry)
{
    const std::vector<std::wstring> fields = split(line, L'\t');
    if (fields.size() < 2 || fields[1].empty() || fields.size() > 4) return false;
    if (fields[0] == L"file") entry->kind = EntryKind::File;
    else if (fields[0] == L"standin") entry->kind = EntryKind::StandIn;
    else if (fields[0] == L"slot") entry->kind = EntryKind::Slot;
    else if (fields[0] == L"folder") entry->kind = EntryKind::Folder;
    else return false;
    entry->target = fields[1];
    entry->source = fields.size() > 2 ? fields[2] : L"";
    if (fields.size() > 3 && !fields[3].empty()) {
        if (entry->kind == EntryKind::Slot) entry->backup = fields[3];
        else if (entry->kind == EntryKind::StandIn) {
            for (const std::wstring& place : split(fields[3], L'|'))
                if (!place.empty()) entry->alsoLookIn.push_back(place);
        } else return false;
    }
    return true;
}

// --- who holds a file ------------------------------------------------------------------

std::wstring lowerCase(std::wstring text)
{
    CharLowerBuffW(&text[0], DWORD(text.size()));
    return text;
}

// Every module loaded by another process, by its lower-case full path, with the processes that
// have it loaded ("name.exe (process 123)", joined by ", "). One walk serves every file checked.
std::map<std::wstring, std::wstring> loadedModules()
{
    std::map<std::wstring, std::wstring> holders;
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return holders;
    PROCESSENTRY32W process;
    process.dwSize = sizeof process;
    for (BOOL more = Process32FirstW(processes, &process); more; more = Process32NextW(processes, &process)) {
        if (process.th32ProcessID == GetCurrentProcessId() || process.th32ProcessID == 0) continue;
        HANDLE modules;
        do {  // a process still loading its modules answers ERROR_BAD_LENGTH for a moment
            modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process.th32ProcessID);
        } while (modules == INVALID_HANDLE_VALUE && GetLastError() == ERROR_BAD_LENGTH);
        if (modules == INVALID_HANDLE_VALUE) continue;
        const std::wstring name =
            std::wstring(process.szExeFile) + L" (process " + std::to_wstring(process.th32ProcessID) + L")";
        MODULEENTRY32W module;
        module.dwSize = sizeof module;
        for (BOOL next = Module32FirstW(modules, &module); next; next = Module32NextW(modules, &module)) {
            std::wstring& entry = holders[lowerCase(module.szExePath)];
            if (entry.find(name) != std::wstring::npos) continue;
            if (!entry.empty()) entry += L", ";
            entry += name;
        }
        CloseHandle(modules);
    }
    CloseHandle(processes);
    return holders;
}

std::wstring holdersIn(const std::map<std::wstring, std::wstring>& modules, const std::wstring& path)
{
    if (!exists(path)) return L"";
    const auto loaded = modules.find(lowerCase(fullPath(path)));
    if (loaded != modules.end()) return loaded->second;
    // Held in some other way (opened without sharing, or loaded by a process this one cannot read).
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return L"";
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? L"another program" : L"";
}

// --- changes ----------------------------------------------------------------------------

// After the change, target holds a copy of source, or is gone when source is empty.
struct Change {
    std::wstring target;
    std::wstring source;
    bool movedAside = false;
    bool placed = false;
};

std::wstring undoName(const std::wstring& target) { return target + UNDO_SUFFIX; }

// Creates the folder and those above it that are missing; adds each one made to created.
bool makeFolder(const std::wstring& folder, std::vector<std::wstring>* created)
{
    if (folder.empty() || exists(folder)) return true;
    if (!makeFolder(folderOf(folder), created)) return false;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    created->push_back(folder);
    return true;
}

// Removes those of the folders that are empty, the last made first.
void removeEmptyFolders(const std::vector<std::wstring>& created)
{
    for (auto folder = created.rbegin(); folder != created.rend(); ++folder) RemoveDirectoryW(folder->c_str());
}

class Transaction {
public:
    explicit Transaction(std::vector<Change> changes) : changes_(std::move(changes)) {}

    // Nothing is changed yet but the folders made for the changes (and extraFolder): a held file or a
    // folder that cannot be written stops here, and the folders made are removed again.
    Outcome check(const std::wstring& extraFolder = L"")
    {
        Outcome outcome;
        const std::map<std::wstring, std::wstring> modules = loadedModules();
        for (const Change& change : changes_) {
            const std::wstring& path = change.target;
            const std::wstring holders = holdersIn(modules, path);
            if (!holders.empty()) {
                outcome.status = Outcome::Busy;
                outcome.message = path + L" is in use by " + holders +
                                  L". Close that program and choose Retry, or Cancel to stop. Nothing has been changed.";
                return outcome;
            }
        }
        for (const Change& change : changes_) {
            if (change.source.empty()) continue;
            const std::wstring folder = folderOf(change.target);
            if (!makeFolder(folder, &createdFolders_)) {
                const DWORD error = GetLastError();
                return failure(L"Cannot create the folder " + folder + L" (" + systemMessage(error) + L").");
            }
            const std::wstring probe = folder + L"\\~melvo-setup-probe.tmp";
            HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                const DWORD error = GetLastError();
                return failure(L"Cannot write into the folder " + folder + L" (" + systemMessage(error) + L").");
            }
            CloseHandle(file);
            if (!exists(change.source))
                return failure(L"The setup's own copy of " + change.source + L" is missing.");
        }
        if (!makeFolder(extraFolder, &createdFolders_)) {
            const DWORD error = GetLastError();
            return failure(L"Cannot create the folder " + extraFolder + L" (" + systemMessage(error) + L").");
        }
        return outcome;
    }

    void add(const Change& change) { changes_.push_back(change); }
    const std::vector<std::wstring>& createdFolders() const { return createdFolders_; }

    // Every change, or none: on a failure what was done is undone.
    Outcome apply()
    {
        for (Change& change : changes_) {
            if (exists(change.target)) {
                SetFileAttributesW(change.target.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!MoveFileExW(change.target.c_str(), undoName(change.target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
                    const DWORD error = GetLastError();
                    return undo((change.source.empty() ? L"Cannot remove " : L"Cannot replace ") + change.target + L" (" +
                                systemMessage(error) + L").");
                }
                change.movedAside = true;
            }
            if (!change.source.empty()) {
                if (!CopyFileW(change.source.c_str(), change.target.c_str(), FALSE)) {
                    const DWORD error = GetLastError();
                    return undo(L"Cannot write " + change.target + L" (" + systemMessage(error) + L").");
                }
                change.placed = true;
            }
        }
        for (const Change& change : changes_) {
            if (change.movedAside && !DeleteFileW(undoName(change.target).c_str()))
                MoveFileExW(undoName(change.target).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
        return Outcome();
    }

    // Folders made for the check that nothing ended up in.
    void dropEmptyFolders() { removeEmptyFolders(createdFolders_); }

private:
    Outcome failure(const std::wstring& what)
    {
        removeEmptyFolders(createdFolders_);
        Outcome outcome;
        outcome.status = Outcome::Failed;
        outcome.message = what + L" Nothing has been changed.";
        return outcome;
    }

    Outcome undo(const std::wstring& what)
    {
        for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
            if (change->placed) DeleteFileW(change->target.c_str());
            if (change->movedAside) MoveFileExW(undoName(change->target).c_str(), change->target.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        return failure(what);
    }

    std::vector<Change> changes_;
    std::vector<std::wstring> createdFolders_;
};

const Entry* findTarget(const std::vector<Entry>& entries, const std::wstring& target, EntryKind kind)
{
    for (const Entry& entry : entries)
        if (entry.kind == kind && samePath(entry.target, target)) return &entry;
    return nullptr;
}

// What removing a recorded entry takes, with the report's lines.
void removalOf(const Entry& entry, std::vector<Change>* changes, std::vector<std::wstring>* report)
{
    if (entry.kind == EntryKind::Folder) return;  // after the files: removeRecordedFolders
    if (entry.kind == EntryKind::Slot && !entry.backup.empty()) {
        if (exists(entry.backup)) {
            changes->push_back({entry.target, entry.backup});
            changes->push_back({entry.backup, L""});
            report->push_back(L"Put back the file that was in " + entry.target);
            return;
        }
        report->push_back(L"The saved copy of the file that was in " + entry.target + L" (" + entry.backup +
                          L") is gone: the slot is left empty");
    }
    if (exists(entry.target)) {
        changes->push_back({entry.target, L""});
        report->push_back(L"Removed " + entry.target);
    } else {
        report->push_back(L"Already gone: " + entry.target);
    }
}

void removeRecordedFolders(const std::vector<Entry>& record, std::vector<std::wstring>* report)
{
    for (auto entry = record.rbegin(); entry != record.rend(); ++entry) {
        if (entry->kind != EntryKind::Folder || !exists(entry->target)) continue;
        if (RemoveDirectoryW(entry->target.c_str())) report->push_back(L"Removed the folder " + entry->target);
        else report->push_back(L"Left the folder " + entry->target + L": it holds files the setup did not put there");
    }
}

}  // namespace

bool readEntries(const std::wstring& path, std::vector<Entry>* entries)
{
    entries->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    CloseHandle(file);
    if (bytes.size() % 2 != 0) return false;
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); i += 2)
        text += wchar_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8));
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    for (std::wstring line : split(text, L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty()) continue;
        Entry entry;
        if (!parseLine(line, &entry)) return false;
        entries->push_back(entry);
    }
    return true;
}

bool writeEntries(const std::wstring& path, const std::vector<Entry>& entries)
{
    std::wstring text(1, wchar_t(0xFEFF));
    for (const Entry& entry : entries) {
        text += std::wstring(kindName(entry.kind)) + L'\t' + entry.target + L'\t' + entry.source;
        if (entry.kind == EntryKind::Slot) text += L'\t' + entry.backup;
        text += L"\r\n";
    }
    std::string bytes;
    for (wchar_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char((c >> 8) & 0xFF);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    return CloseHandle(file) && whole;
}

std::wstring holdersOf(const std::wstring& path)
{
    return holdersIn(loadedModules(), path);
}

Outcome install(const std::vector<Entry>& plan, const std::wstring& recordPath)
{
    RedirectionOff redirectionOff;
    std::vector<Entry> before;
    if (exists(recordPath) && !readEntries(recordPath, &before)) {
        Outcome outcome;
        outcome.status = Outcome::Failed;
        outcome.message = L"The list of installed files " + recordPath + L" cannot be read. Nothing has been changed.";
        return outcome;
    }
    std::vector<Change> changes;
    std::vector<Entry> record;
    std::vector<std::wstring> report;
    for (const Entry& entry : plan) {
        const Entry* earlier = findTarget(before, entry.target, entry.kind);
        if (entry.kind == EntryKind::StandIn && !earlier) {
            std::wstring present = exists(entry.target) ? entry.target : L"";
            for (const std::wstring& place : entry.alsoLookIn)
                if (present.empty() && exists(place)) present = place;
            if (!present.empty()) {
                report.push_back(L"Kept " + present + L": a library of that name is already there, "
                                 L"most likely your camera software's; the simulated one is not installed");
                continue;
            }
        }
        Entry recorded{entry.kind, entry.target, L"", L"", {}};
        if (entry.kind == EntryKind::Slot) {
            if (earlier) {
                recorded.backup = earlier->backup;
            } else if (exists(entry.target)) {
                recorded.backup = entry.backup;
                changes.push_back({entry.backup, entry.target});
                report.push_back(L"Saved the file that was in " + entry.target + L" as " + entry.backup);
            }
        }
        report.push_back((exists(entry.target) ? L"Replaced " : L"Installed ") + entry.target);
        changes.push_back({entry.target, entry.source});
        record.push_back(recorded);
    }
    for (const Entry& entry : before) {
        if (entry.kind != EntryKind::Folder && !findTarget(record, entry.target, entry.kind))
            removalOf(entry, &changes, &report);
    }
    Transaction transaction(changes);
    Outcome outcome = transaction.check(folderOf(recordPath));
    if (outcome.status != Outcome::Done) return outcome;
    // Folders made by this or an earlier install, for the uninstaller.
    for (const Entry& entry : before)
        if (entry.kind == EntryKind::Folder && exists(entry.target)) record.push_back(entry);
    for (const std::wstring& folder : transaction.createdFolders()) record.push_back({EntryKind::Folder, folder, L"", L"", {}});
    // The record is the last change, so that it never lists what did not happen.
    const std::wstring newRecord = recordPath + L".new";
    if (!writeEntries(newRecord, record)) {
        DeleteFileW(newRecord.c_str());
        transaction.dropEmptyFolders();
        outcome.status = Outcome::Failed;
        outcome.message = L"Cannot write the list of installed files " + newRecord + L". Nothing has been changed.";
        return outcome;
    }
    transaction.add({recordPath, newRecord});
    outcome = transaction.apply();
    DeleteFileW(newRecord.c_str());
    if (outcome.status != Outcome::Done) {
        transaction.dropEmptyFolders();
        return outcome;
    }
    outcome.report = report;
    for (const Entry& entry : record)
        if (entry.kind != EntryKind::Folder) outcome.recordedBytes += fileSize(entry.target);
    return outcome;
}

Outcome uninstall(const std::wstring& recordPath)
{
    RedirectionOff redirectionOff;
    Outcome outcome;
    std::vector<Entry> record;
    if (!readEntries(recordPath, &record)) {
        outcome.status = Outcome::Failed;
        outcome.message = L"The list of installed files " + recordPath +
                          L" is missing or damaged, so the uninstaller cannot tell which files are its own. "
                          L"Run the setup program again to repair the installation, then uninstall. Nothing has been changed.";
        return outcome;
    }
    std::vector<Change> changes;
    std::vector<std::wstring> report;
    for (const Entry& entry : record) removalOf(entry, &changes, &report);
    changes.push_back({recordPath, L""});
    Transaction transaction(changes);
    outcome = transaction.check();
    if (outcome.status == Outcome::Done) outcome = transaction.apply();
    if (outcome.status != Outcome::Done) return outcome;
    removeRecordedFolders(record, &report);
    outcome.report = report;
    return outcome;
}

}  // namespace setup
