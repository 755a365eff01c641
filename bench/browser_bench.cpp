// File browser benchmark, run under Wine by bench/run-browser-bench.sh on a folder of Exif
// pictures. Measures in one process:
//   baseline  enumerating the folder and reading each file's first 64 KiB (the least any
//             browser that looks into its files must do);
//   enter     from the double click on the folder's directory entry to the first painted grid
//             (the scan with its file checks, the first thumbnails, the painting);
//   page      one SB_PAGEDOWN of the grid until painted, over the whole folder.
// Baseline and enter take turns, nine rounds with a warm file cache; the best of each counts.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "camera/image_decoding.h"
#include "file_browser/directory_scan.h"
#include "file_browser/file_browser_window.h"
#include "file_browser/file_list.h"
#include "file_browser/thumbnail_grid.h"
#include "resources/resource_ids.h"
#include "twain/source_lifetime.h"

namespace {

// Rounds of baseline and entering; the best of each counts, which filters out the moments when
// others load the machine.
constexpr int RUNS = 9;

double now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Returns the number of files read.
int enumerateAndRead(const std::string& folder)
{
    static std::vector<char> buffer(64 * 1024);
    int files = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.jpg").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        HANDLE file = CreateFileA((folder + "\\" + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD read = 0;
        ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
        CloseHandle(file);
        ++files;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

void doubleClickEntry(HWND browser, int index)
{
    HWND list = GetDlgItem(browser, IDC_DIRECTORY);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_DIRECTORY, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    UpdateWindow(browser);
}

int entryIndex(HWND browser, const char* name)
{
    return static_cast<int>(SendMessageA(GetDlgItem(browser, IDC_DIRECTORY), LB_FINDSTRINGEXACT, -1,
                                         reinterpret_cast<LPARAM>(name)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: browser_bench <folder holding pictures\\>\n");
        return 2;
    }
    const std::string folder = argv[1];
    sourceAttach(GetModuleHandleA(nullptr));
    if (!SetCurrentDirectoryA(folder.c_str())) {
        fprintf(stderr, "cannot enter %s\n", folder.c_str());
        return 1;
    }

    if (!createFileBrowserWindow(nullptr)) return 1;
    HWND browser = g_fileBrowserWindow;
    UpdateWindow(browser);
    pump();
    // The baseline and entering take turns, so that both meet the same load of a shared machine;
    // the best of each counts.
    double baseline = 1e30;
    double enter = 1e30;
    int files = 0;
    for (int run = 0; run < RUNS; ++run) {
        double start = now();
        files = enumerateAndRead(folder + "\\pictures");
        baseline = std::min(baseline, now() - start);

        const int pictures = entryIndex(browser, "PICTURES");
        if (pictures < 0) {
            fprintf(stderr, "no PICTURES entry\n");
            return 1;
        }
        start = now();
        doubleClickEntry(browser, pictures);
        enter = std::min(enter, now() - start);
        pump();  // the thumbnails after the first page
        if (fileListCount(FILE_KIND_EXIF) != files) {
            fprintf(stderr, "listed %u of %d files\n", fileListCount(FILE_KIND_EXIF), files);
            return 1;
        }
        if (run < RUNS - 1) {
            doubleClickEntry(browser, static_cast<int>(pathDepth()) - 2);  // back to the folder
            pump();
        }
    }

    // Where entering goes: the file checks of every file and one page of thumbnails, best of 3.
    SetCurrentDirectoryA((folder + "\\pictures").c_str());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*.jpg", &found);
    std::vector<std::string> names;
    do names.push_back(found.cFileName);
    while (search != INVALID_HANDLE_VALUE && FindNextFileA(search, &found));
    FindClose(search);
    double checks = 1e30, thumbnails = 1e30;
    for (int run = 0; run < 3; ++run) {
        double start = now();
        for (const std::string& name : names) checkExifFile(name.c_str());
        checks = std::min(checks, now() - start);
        start = now();
        for (size_t i = 0; i < 9 && i < names.size(); ++i) {
            HBITMAP bitmap = nullptr;
            if (makeThumbnailBitmap(browser, FILE_KIND_EXIF, &bitmap, names[i].c_str())) DeleteObject(bitmap);
        }
        thumbnails = std::min(thumbnails, now() - start);
    }
    SetCurrentDirectoryA(folder.c_str());

    std::vector<double> pages;
    while (gridFirstRow() < gridScrollLimit()) {
        const double start = now();
        SendMessageA(browser, WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(GetDlgItem(browser, IDC_FILESCROLL)));
        UpdateWindow(browser);
        pages.push_back(now() - start);
    }
    std::sort(pages.begin(), pages.end());
    double sum = 0;
    for (double page : pages) sum += page;

    printf("files %d\n", files);
    printf("baseline_ms %.1f\n", baseline);
    printf("enter_ms %.1f\n", enter);
    printf("enter_ratio %.2f\n", enter / baseline);
    printf("checks_ms %.1f\n", checks);
    printf("page_of_thumbnails_ms %.1f\n", thumbnails);
    printf("pages %zu\n", pages.size());
    printf("page_mean_ms %.2f\n", pages.empty() ? 0.0 : sum / pages.size());
    printf("page_p95_ms %.2f\n", pages.empty() ? 0.0 : pages[pages.size() * 95 / 100]);
    printf("page_max_ms %.2f\n", pages.empty() ? 0.0 : pages.back());
    destroyFileBrowserWindow();
    return 0;
}
