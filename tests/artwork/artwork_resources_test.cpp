// Every bitmap and icon of the source, read back from the resources linked into this test: the
// names the code loads, the sizes and colour depths it draws with, and uncompressed data.
#include <windows.h>

#include "win32/scoped_handle.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

struct BitmapSpec {
    const char* name;
    int width;
    int height;
    int bits;
};

const BitmapSpec BITMAPS[] = {
    {"IDB_CAMERATAB", 264, 248, 8}, {"IDB_OPTIONTAB", 264, 248, 8},
    {"IDB_LX-2", 48, 48, 8},        {"IDB_PORT", 48, 48, 8},        {"IDB_SPEED", 48, 48, 8},
    {"IDB_CARD", 48, 48, 8},        {"IDB_MEMORY", 48, 48, 8},
    {"IDB_CAMERA", 48, 48, 8},      {"IDB_CAMERADW", 48, 48, 4},
    {"IDB_FILE", 48, 48, 8},        {"IDB_FILEDW", 48, 48, 8},
    {"IDB_DISK", 32, 32, 4},        {"IDB_DISKDW", 32, 32, 4},      {"IDB_DISKDIS", 32, 32, 4},
    {"IDB_CLEAR", 32, 32, 8},       {"IDB_CLEARDW", 32, 32, 8},     {"IDB_CLEARDIS", 32, 32, 8},
    {"IDB_PREV", 32, 32, 8},        {"IDB_PREVDW", 32, 32, 8},      {"IDB_PREVDIS", 32, 32, 4},
    {"IDB_NEXT", 32, 32, 8},        {"IDB_NEXTDW", 32, 32, 8},      {"IDB_NEXTDIS", 32, 32, 4},
    {"IDB_ONRADIO", 15, 15, 8},     {"IDB_OFRADIO", 15, 15, 8},     {"IDB_DSRADIO", 15, 15, 8},
    {"IDB_DIBBASESHEET", 126, 126, 4}, {"IDB_FILEBASE", 108, 26, 4},
};

const char* const ICONS[] = {"LX3TW_ICO", "ICI_FD",  "ICI_DRIVE",   "ICI_CDROM",
                             "ICI_NETD",  "ICI_RAM", "ICI_DIROPEN", "ICI_DIRCLOSE"};

// The resource's bytes, or an empty block when it is missing.
struct ResourceBytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

ResourceBytes findResource(const char* name, LPCSTR type)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return {};
    return {static_cast<const BYTE*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)};
}

#pragma pack(push, 2)
struct IconGroupEntry {  // one entry of an RT_GROUP_ICON resource
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names)
{
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::set<std::string>*>(names)->insert(name);
    return TRUE;
}

std::set<std::string> resourceNames(LPCSTR type)
{
    std::set<std::string> names;
    EnumResourceNamesA(GetModuleHandleA(nullptr), type, collectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

TEST(ArtworkResources, EveryBitmapHasItsSizeDepthAndUncompressedColourTable)
{
    for (const BitmapSpec& spec : BITMAPS) {
        SCOPED_TRACE(spec.name);
        ResourceBytes bytes = findResource(spec.name, RT_BITMAP);
        ASSERT_NE(bytes.data, nullptr);
        ASSERT_GE(bytes.size, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        memcpy(&header, bytes.data, sizeof header);
        EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(header.biWidth, spec.width);
        EXPECT_EQ(header.biHeight, spec.height);  // positive: bottom-up rows
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, spec.bits);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        // A full table for the depth (or the count it names), then every row padded to 4 bytes.
        const DWORD colours = header.biClrUsed ? header.biClrUsed : 1u << spec.bits;
        EXPECT_LE(colours, 1u << spec.bits);
        const DWORD stride = ((spec.width * spec.bits + 31) / 32) * 4;
        EXPECT_EQ(bytes.size, sizeof header + colours * sizeof(RGBQUAD) + stride * spec.height);

        ScopedGdiObject bitmap(LoadBitmapA(GetModuleHandleA(nullptr), spec.name));
        EXPECT_TRUE(bitmap);
    }
}

TEST(ArtworkResources, EveryIconIsOne32By32SixteenColourImage)
{
    for (const char* name : ICONS) {
        SCOPED_TRACE(name);
        ResourceBytes group = findResource(name, RT_GROUP_ICON);
        ASSERT_NE(group.data, nullptr);
        WORD header[3];
        ASSERT_GE(group.size, sizeof header + sizeof(IconGroupEntry));
        memcpy(header, group.data, sizeof header);
        EXPECT_EQ(header[1], 1);  // icons
        ASSERT_EQ(header[2], 1);  // one image
        IconGroupEntry entry;
        memcpy(&entry, group.data + sizeof header, sizeof entry);
        EXPECT_EQ(entry.width, 32);
        EXPECT_EQ(entry.height, 32);
        EXPECT_EQ(entry.colourCount, 16);
        EXPECT_EQ(entry.bitCount, 4);

        EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), name), nullptr);
    }
}

TEST(ArtworkResources, NoBitmapOrIconBeyondTheListedOnes)
{
    std::set<std::string> bitmaps, icons;
    for (const BitmapSpec& spec : BITMAPS) bitmaps.insert(spec.name);
    for (const char* name : ICONS) icons.insert(name);
    EXPECT_EQ(resourceNames(RT_BITMAP), bitmaps);
    EXPECT_EQ(resourceNames(RT_GROUP_ICON), icons);
}

}  // namespace
