#include "picture_tree.h"

#include "k4i_format.h"
#include "file_browser/directory_scan.h"
#include "file_browser/file_list.h"
#include "twain/source_lifetime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

constexpr int WIDTH = 64;
constexpr int HEIGHT = 48;

std::vector<uint8_t> solidRgb(COLORREF colour)
{
    std::vector<uint8_t> rgb;
    for (int i = 0; i < WIDTH * HEIGHT; ++i) {
        rgb.push_back(GetRValue(colour));
        rgb.push_back(GetGValue(colour));
        rgb.push_back(GetBValue(colour));
    }
    return rgb;
}

void writeFile(const std::string& path, const void* data, size_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(size, written) << path;
}

void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(path);
            else DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

PictureTree::PictureTree()
{
    static int made = 0;
    if (made == 0) sourceAttach(GetModuleHandleA(nullptr));
    g_browserDirectory[0] = '\0';
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    start_ = directory;
    root_ = start_ + "\\trees" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++made);
    removeTree(root_);
    CreateDirectoryA(root_.c_str(), nullptr);
}

PictureTree::~PictureTree()
{
    fileListRelease();
    g_browserDirectory[0] = '\0';
    SetCurrentDirectoryA(start_.c_str());
    removeTree(root_);
}

void PictureTree::directory(const std::string& relative) const
{
    EXPECT_TRUE(CreateDirectoryA(path(relative).c_str(), nullptr)) << path(relative);
}

void PictureTree::jpeg(const std::string& relative, COLORREF colour) const
{
    const std::vector<uint8_t> rgb = solidRgb(colour);
    std::vector<uint8_t> file;
    ASSERT_TRUE(stbi_write_jpg_to_func(appendBytes, &file, WIDTH, HEIGHT, 3, rgb.data(), 95));
    writeFile(path(relative), file.data(), file.size());
}

void PictureTree::damagedJpeg(const std::string& relative) const
{
    std::vector<uint8_t> rgb(256 * 192 * 3);
    uint32_t seed = 1;
    for (uint8_t& v : rgb) v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    std::vector<uint8_t> file;
    ASSERT_TRUE(stbi_write_jpg_to_func(appendBytes, &file, 256, 192, 3, rgb.data(), 95));
    size_t scan = 2;  // the entropy-coded data runs from the scan header's end to EOI
    while (!(file[scan] == 0xFF && file[scan + 1] == 0xDA)) scan += 2 + (file[scan + 2] << 8 | file[scan + 3]);
    scan += 2 + (file[scan + 2] << 8 | file[scan + 3]);
    for (size_t at = scan; at + 2 < file.size() - 2; at += 2) file[at] = 0xFF, file[at + 1] = 0;
    writeFile(path(relative), file.data(), file.size());
}

void PictureTree::k4i(const std::string& relative, COLORREF colour, uint16_t kind) const
{
    const std::vector<uint8_t> rgb = solidRgb(colour);
    K4iPicture picture = {};
    picture.rgb = rgb.data();
    picture.width = WIDTH;
    picture.height = HEIGHT;
    picture.kind = kind;
    picture.orientation = 1;
    picture.rowsPerStrip = 16;
    std::vector<uint8_t> file;
    ASSERT_EQ(0, k4iEncode(picture, &file));
    writeFile(path(relative), file.data(), file.size());
}

void PictureTree::bytes(const std::string& relative, const std::string& data) const
{
    writeFile(path(relative), data.data(), data.size());
}

std::string PictureTree::read(const std::string& relative) const
{
    std::string data;
    HANDLE file = CreateFileA(path(relative).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    data.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, &data[0], static_cast<DWORD>(data.size()), &read, nullptr);
    CloseHandle(file);
    data.resize(read);
    return data;
}

COLORREF pictureColour(int i)
{
    return RGB(40 + (i * 67) % 180, 40 + (i * 113) % 180, 40 + (i * 29) % 180);
}

bool nearColour(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}
