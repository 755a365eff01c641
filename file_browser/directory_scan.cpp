#include "file_browser/directory_scan.h"

#include "camera/image_decoding.h"
#include "camera_window/error_box.h"
#include "file_browser/file_list.h"
#include "resources/resource_ids.h"
#include "win32/scoped_handle.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

char g_browserDirectory[SAVED_DIRECTORY_SIZE];

namespace {

uint16_t g_pathDepth;

bool isDriveKind(UINT type)
{
    return type >= DRIVE_REMOVABLE && type <= DRIVE_RAMDISK;
}

DriveKind driveKindOf(UINT type)
{
    switch (type) {
    case DRIVE_REMOVABLE: return DRIVE_KIND_REMOVABLE;
    case DRIVE_REMOTE:    return DRIVE_KIND_REMOTE;
    case DRIVE_CDROM:     return DRIVE_KIND_CDROM;
    case DRIVE_RAMDISK:   return DRIVE_KIND_RAMDISK;
    default:              return DRIVE_KIND_FIXED;
    }
}

std::string rootText(char letter)
{
    char root[4];
    snprintf(root, sizeof root, "%c:\\", letter);
    return root;
}

std::string currentDirectory()
{
    const DWORD length = GetCurrentDirectoryA(0, nullptr);
    if (length == 0) return {};
    std::string directory(length, '\0');
    const DWORD written = GetCurrentDirectoryA(length, &directory[0]);
    directory.resize(written < length ? written : 0);
    return directory;
}

// The first path entry: the drive (C:) or, for a network path, \\server\share.
size_t rootLength(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':') return 2;
    if (path.compare(0, 2, "\\\\") != 0) return 0;
    size_t end = path.find('\\', 2);
    if (end != std::string::npos) end = path.find('\\', end + 1);
    return end == std::string::npos ? path.size() : end;
}

std::vector<std::string> pathPieces(const std::string& path)
{
    std::vector<std::string> pieces;
    size_t start = rootLength(path);
    if (start > 0) pieces.push_back(path.substr(0, start));
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) pieces.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

// Calls `take` for every name the search pattern finds in the current directory. A search
// that fails part way ends the listing: what was found so far is kept.
template <typename Take>
void enumerate(const char* pattern, Take take)
{
    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(pattern, &found));
    if (!search) return;
    do {
        if (!take(found)) return;
    } while (FindNextFileA(search.get(), &found));
}

bool hasExtension(const char* name, const char* extension)
{
    const size_t length = strlen(name);
    return length > 4 && lstrcmpiA(name + length - 4, extension) == 0;
}

// One pass over the directory: its subdirectories (no dot names) in upper case and byte order,
// and the names of its picture files for the scan that follows the listing.
std::vector<std::string> readDirectory(const std::string& directory, PictureNames* pictures)
{
    const std::string pattern = directory + (directory.size() == 3 ? "*.*" : "\\*.*");
    std::vector<std::string> names;
    *pictures = {};
    enumerate(pattern.c_str(), [&](WIN32_FIND_DATAA& found) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (hasExtension(found.cFileName, ".jpg")) pictures->exif.emplace_back(found.cFileName);
            else if (hasExtension(found.cFileName, ".k4i")) pictures->k4i.emplace_back(found.cFileName);
            return true;
        }
        if (found.cFileName[0] == '.') return true;
        CharUpperA(found.cFileName);
        names.emplace_back(found.cFileName);
        return true;
    });
    // Byte order, bytes compared as unsigned values; a prefix sorts first.
    std::sort(names.begin(), names.end());
    return names;
}

std::string listText(HWND list, int index)
{
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

// Scans one kind: every name that its check accepts goes into the list.
bool scanKind(const std::vector<std::string>& names, FileKind kind, int (*check)(LPCSTR name))
{
    for (const std::string& name : names) {
        if (check(name.c_str()) == 1 && !fileListInsert(kind, name)) return false;
    }
    return true;
}

}  // namespace

void fillDriveBox(HWND driveBox)
{
    const int current = currentDriveEntry();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = rootText(letter);
        const UINT type = GetDriveTypeA(root.c_str());
        if (!isDriveKind(type)) continue;
        const LRESULT entry = SendMessageA(driveBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root.c_str()));
        if (entry >= 0) SendMessageA(driveBox, CB_SETITEMDATA, entry, driveKindOf(type));
    }
    SendMessageA(driveBox, CB_SETCURSEL, current, 0);
}

int currentDriveEntry()
{
    const std::string directory = currentDirectory();
    if (directory.size() < 2 || directory[1] != ':') return -1;
    char current = directory[0];
    if (current >= 'a' && current <= 'z') current = static_cast<char>(current - 'a' + 'A');
    if (current < 'A' || current > 'Z') return -1;
    int entry = 0;
    for (char letter = 'A'; letter < current; ++letter) {
        if (isDriveKind(GetDriveTypeA(rootText(letter).c_str()))) ++entry;
    }
    return isDriveKind(GetDriveTypeA(rootText(current).c_str())) ? entry : -1;
}

void fillFileTypeBox(HWND fileTypeBox)
{
    SendMessageA(fileTypeBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FILE_TYPE_EXIF));
    SendMessageA(fileTypeBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FILE_TYPE_K4I));
    SendMessageA(fileTypeBox, CB_SETCURSEL, 0, 0);
}

FileKind readFileKind(HWND browser)
{
    HWND box = GetDlgItem(browser, IDC_FILETYPE);
    const LRESULT selected = SendMessageA(box, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return FILE_KIND_NONE;
    char text[64] = "";
    const LRESULT length = SendMessageA(box, CB_GETLBTEXTLEN, selected, 0);
    if (length == CB_ERR || length >= static_cast<LRESULT>(sizeof text)) return FILE_KIND_NONE;
    SendMessageA(box, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
    if (strncmp(text, FILE_TYPE_EXIF, 15) == 0) return FILE_KIND_EXIF;
    if (strncmp(text, FILE_TYPE_K4I, 15) == 0) return FILE_KIND_K4I;
    return FILE_KIND_NONE;
}

bool listCurrentDirectory(HWND browser, HWND directoryList, PictureNames* pictures)
{
    g_pathDepth = 0;
    try {
        std::string directory = currentDirectory();
        if (directory.size() == 2) directory += '\\';
        // A path that does not fit the saved directory is listed but not saved: DS_Entry then
        // leaves the current directory alone instead of moving to a stale one.
        if (directory.size() < SAVED_DIRECTORY_SIZE) {
            lstrcpynA(g_browserDirectory, directory.c_str(), SAVED_DIRECTORY_SIZE);
        } else {
            g_browserDirectory[0] = '\0';
        }
        for (const std::string& piece : pathPieces(directory)) {
            SendMessageA(directoryList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(piece.c_str()));
            ++g_pathDepth;
        }
        for (const std::string& name : readDirectory(directory, pictures)) {
            SendMessageA(directoryList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
    } catch (const std::bad_alloc&) {
        errorBox(browser, 0, ERROR_NO_MEMORY, nullptr);
        return false;
    }
    return true;
}

uint16_t pathDepth()
{
    return g_pathDepth;
}

std::string directoryEntryPath(HWND directoryList, int index)
{
    const int count = static_cast<int>(SendMessageA(directoryList, LB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count) return {};
    if (index == 0) return listText(directoryList, 0) + "\\";
    const int lastPathEntry = std::min<int>(index, g_pathDepth) - 1;
    std::string path = listText(directoryList, index);
    for (int entry = lastPathEntry; entry >= 0; --entry) path = listText(directoryList, entry) + "\\" + path;
    return path;
}

bool scanFiles(HWND browser, const PictureNames& pictures)
{
    bool scanned = false;
    try {
        scanned = scanKind(pictures.exif, FILE_KIND_EXIF, checkExifFile) &&
                  scanKind(pictures.k4i, FILE_KIND_K4I, checkK4iFile);
    } catch (const std::bad_alloc&) {
    }
    if (!scanned) errorBox(browser, 0, ERROR_NO_MEMORY, nullptr);
    return scanned;
}
