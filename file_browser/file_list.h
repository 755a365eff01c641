// The file list: the accepted picture files of the listed directory, shared by the thumbnail
// grid, the browser's OK and the acquisition of the selected files. Within each kind the
// entries are in ascending byte order of their lower-case names; positions counted among the
// files of one kind (from 1, in list order) are how the grid and the selection address files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <string>

#include "camera/image_decoding.h"
#include "win32/scoped_handle.h"

struct FileEntry {
    FileKind        kind;
    bool            selected = false;
    // While loaded, the entry is inside the thumbnail cache window. A loaded entry without a
    // thumbnail is a file whose thumbnail could not be made: its cell shows a placeholder.
    bool            loaded = false;
    ScopedGdiObject thumbnail;
    std::string     name;  // lower case, relative to the listed directory
};

using FileList = std::list<FileEntry>;

// The one file list of the module. Only the scan adds entries.
FileList& fileList();

// Inserts a file of kind `kind`; the name is turned lower case. False when memory ran out; the
// list is then unchanged.
bool fileListInsert(FileKind kind, std::string name);
// Releases every entry with its thumbnail and name.
void fileListRelease();

uint16_t fileListCount(FileKind kind);
uint16_t fileListCountSelected(FileKind kind);
bool fileListAnySelected(FileKind kind);
// Copies the name of the first selected file of `kind` in list order into `name` (at most
// size - 1 characters) and clears its selection. False, with an empty name, when none is left.
bool fileListTakeNextSelected(FileKind kind, char* name, size_t size);
