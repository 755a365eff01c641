// Directory trees of picture files that the file browser tests prepare for themselves: each
// picture is one solid colour, so the grid captured from the screen tells which file a cell shows.
// A tree also puts back what a test of the browser changes in the process: the current
// directory, the saved directory and the file list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class PictureTree {
public:
    PictureTree();   // a new empty folder under the current directory; the source attached once
    ~PictureTree();  // removes it with everything in it
    PictureTree(const PictureTree&) = delete;
    PictureTree& operator=(const PictureTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return relative.empty() ? root_ : root_ + "\\" + relative; }

    void directory(const std::string& relative) const;
    // A 64 x 48 baseline JPEG (JFIF, no embedded thumbnail) of one colour.
    void jpeg(const std::string& relative, COLORREF colour) const;
    // A 256 x 192 JPEG of noise with intact headers whose scan data is all one bits (stuffed
    // 0xFF bytes), which no Huffman code can be.
    void damagedJpeg(const std::string& relative) const;
    // A 64 x 48 K4I file of one colour; `kind` 2 is not a still picture.
    void k4i(const std::string& relative, COLORREF colour, uint16_t kind = 1) const;
    // Any bytes, for corrupt files.
    void bytes(const std::string& relative, const std::string& data) const;
    std::string read(const std::string& relative) const;

private:
    std::string start_;  // the current directory before the test
    std::string root_;
};

// A distinct colour for file number i, far enough from its neighbours to tell them apart.
COLORREF pictureColour(int i);

// True when the two colours differ by at most `tolerance` in every channel.
bool nearColour(COLORREF a, COLORREF b, int tolerance = 20);
