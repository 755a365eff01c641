// Drives the real file browser window as a user does: clicks and double clicks on the grid and
// the directory list, keys in the boxes, the scroll bar's messages, the buttons; and reads back
// what the user sees: list entries, the grid captured from the screen, the scroll bar.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "file_browser/file_list.h"

class BrowserDriver {
public:
    // Opens the browser on `directory` with `owner` (may be 0) as its owner window.
    BrowserDriver(const std::string& directory, HWND owner = nullptr);
    ~BrowserDriver();  // destroys the window if it is still there
    BrowserDriver(const BrowserDriver&) = delete;
    BrowserDriver& operator=(const BrowserDriver&) = delete;

    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }

    std::vector<std::string> directoryEntries() const;
    void clickEntry(int index, bool twice = false);
    void doubleClickEntry(int index) { clickEntry(index, true); }
    void chooseFileType(int index);  // by the arrow keys in the file-type box
    void chooseDrive(int index);     // by the arrow keys in the drive box

    // The centre of page position p (from 1) in the 3 x 3 grid, in client coordinates.
    static POINT cellPoint(int position);
    void click(int position, WPARAM keys = 0) { clickAt(cellPoint(position), keys); }
    void clickAt(POINT point, WPARAM keys = 0);
    void doubleClickAt(POINT point);
    void scroll(int code, int thumb = 0);
    void pressButton(int id);
    void repaint();  // whatever is invalid is painted now

    int scrollPosition() const;
    int scrollRangeMax() const;

    // From the screen: the colour inside page position p's thumbnail (off its centre, where a
    // placeholder's cross does not pass) and whether p's label is shown inverted.
    COLORREF thumbnailColour(int position) const;
    bool marked(int position) const;

private:
    void choose(HWND box, int index);
    COLORREF screenPixel(POINT client) const;
    void send(HWND target, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_;
    COLORREF unmarkedLabel_;  // a label pixel as drawn with nothing selected
};

// Positions (from 1 among the files of the kind) of the selected files of `kind`.
std::vector<int> selectedPositions(FileKind kind);
// Names of the files of `kind` in list order.
std::vector<std::string> fileNames(FileKind kind);
// Positions of the files whose thumbnails are loaded, counted over the whole list.
std::vector<int> loadedPositions();
