// Navigation behind the file browser: the drive box, the file-type box, the directory list of
// the current directory and the scan of its picture files into the file list. The browser
// works on the process's current directory; the browser's directory holds the listed directory
// so that DS_Entry can make it current again on every call.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "camera/image_decoding.h"

constexpr char FILE_TYPE_EXIF[] = "MELVO Exif(*.JPG)";
constexpr char FILE_TYPE_K4I[] = "DSC File(*.K4I)";

// Drive kinds: the item data of the drive box entries, which choose their icons.
enum DriveKind : uint16_t {
    DRIVE_KIND_REMOVABLE = 2,
    DRIVE_KIND_FIXED     = 3,
    DRIVE_KIND_CDROM     = 4,
    DRIVE_KIND_REMOTE    = 5,
    DRIVE_KIND_RAMDISK   = 6,
};

// The directory the browser lists, a full path; empty before the first listing and when the
// path is too long to keep. Written by the listing only.
constexpr size_t SAVED_DIRECTORY_SIZE = 256;
extern char g_browserDirectory[SAVED_DIRECTORY_SIZE];

// Lists the drives A: to Z: whose type is known and selects the current drive's entry.
void fillDriveBox(HWND driveBox);
// The drive box entry of the current drive: the number of listed drives before it, or -1
// when the current directory is not on a listed drive.
int currentDriveEntry();

// Adds the two file types, Exif first, and selects the Exif entry.
void fillFileTypeBox(HWND fileTypeBox);
// The kind chosen in the browser's file-type box; FILE_KIND_NONE when nothing known is chosen.
FileKind readFileKind(HWND browser);

// The picture files of a directory by their names' extensions, "*.jpg" and "*.k4i", in the
// order the system lists them: what the scan asks the file checks about.
struct PictureNames {
    std::vector<std::string> exif;
    std::vector<std::string> k4i;
};

// Lists the current directory into the (empty) directory list: its path entries, then its
// subdirectories (no dot names) in upper case and byte order. Sets the path depth and the
// browser's directory, and collects the directory's picture files for the scan in the same pass. False
// after a memory failure (reported in the error box).
bool listCurrentDirectory(HWND browser, HWND directoryList, PictureNames* pictures);
// Number of path entries at the top of the directory list.
uint16_t pathDepth();
// Full path of directory list entry `index`: its drive's root for entry 0, the path up to a
// path entry, the current directory and the name for a subdirectory entry. Empty when the
// entry does not exist.
std::string directoryEntryPath(HWND directoryList, int index);

// Scans the listed pictures: every Exif file that the Exif check accepts, then every K4I file
// that the K4I check accepts, into the (empty) file list. False after a memory failure
// (reported in the error box), keeping the files inserted so far.
bool scanFiles(HWND browser, const PictureNames& pictures);
