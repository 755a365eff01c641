#include "file_browser/file_list.h"

#include <algorithm>
#include <new>

namespace {

FileList g_files;

// Where a new name of kind `kind` goes: before a head that is not smaller, else before the
// first later entry of its own kind that is not smaller, else at the end. Since the scan
// inserts every Exif file before any K4I file, this keeps each kind in name order.
FileList::iterator insertionPoint(FileKind kind, const std::string& name)
{
    auto entry = g_files.begin();
    if (entry == g_files.end() || entry->name >= name) return entry;
    // Directories mostly list their names in order: a name after the last one of its kind,
    // which is the greatest of its kind, goes at the end without a walk.
    const FileEntry& last = g_files.back();
    if (last.kind == kind && last.name < name) return g_files.end();
    for (++entry; entry != g_files.end(); ++entry) {
        if (entry->kind == kind && entry->name >= name) return entry;
    }
    return g_files.end();
}

}  // namespace

FileList& fileList()
{
    return g_files;
}

bool fileListInsert(FileKind kind, std::string name)
{
    if (!name.empty()) CharLowerBuffA(&name[0], static_cast<DWORD>(name.size()));
    try {
        FileEntry& entry = *g_files.emplace(insertionPoint(kind, name));
        entry.kind = kind;
        entry.name = std::move(name);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void fileListRelease()
{
    g_files.clear();
}

uint16_t fileListCount(FileKind kind)
{
    const auto count = std::count_if(g_files.begin(), g_files.end(), [kind](const FileEntry& e) { return e.kind == kind; });
    return static_cast<uint16_t>(std::min<ptrdiff_t>(count, 0xFFFF));
}

uint16_t fileListCountSelected(FileKind kind)
{
    const auto count = std::count_if(g_files.begin(), g_files.end(),
                                     [kind](const FileEntry& e) { return e.kind == kind && e.selected; });
    return static_cast<uint16_t>(std::min<ptrdiff_t>(count, 0xFFFF));
}

bool fileListAnySelected(FileKind kind)
{
    return std::any_of(g_files.begin(), g_files.end(), [kind](const FileEntry& e) { return e.kind == kind && e.selected; });
}

bool fileListTakeNextSelected(FileKind kind, char* name, size_t size)
{
    if (size > 0) name[0] = '\0';
    for (FileEntry& entry : g_files) {
        if (entry.kind != kind || !entry.selected) continue;
        entry.selected = false;
        if (size > 0) lstrcpynA(name, entry.name.c_str(), static_cast<int>(std::min<size_t>(size, 0x7FFFFFFF)));
        return true;
    }
    return false;
}
