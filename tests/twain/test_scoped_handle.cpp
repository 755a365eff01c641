// The RAII wrappers that every drawing step and file search relies on to give back what it took.
#include "win32/scoped_handle.h"

#include <gtest/gtest.h>

namespace {

TEST(ScopedHandle, GdiObjectsAreDeletedOnceWhateverTheExit)
{
    HGDIOBJ pen;
    {
        ScopedGdiObject scoped(CreatePen(PS_SOLID, 0, RGB(1, 2, 3)));
        pen = scoped.get();
        ASSERT_EQ(OBJ_PEN, GetObjectType(pen));
        ScopedGdiObject moved(std::move(scoped));
        EXPECT_FALSE(scoped);
        EXPECT_EQ(pen, moved.get());
        EXPECT_EQ(OBJ_PEN, GetObjectType(pen));
    }
    EXPECT_EQ(0u, GetObjectType(pen));

    ScopedGdiObject kept(CreateSolidBrush(RGB(4, 5, 6)));
    HGDIOBJ brush = kept.release();
    EXPECT_EQ(OBJ_BRUSH, GetObjectType(brush));
    DeleteObject(brush);
}

TEST(ScopedHandle, SelectionIsUndoneBeforeTheObjectGoes)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = GetCurrentObject(dc, OBJ_PEN);
    HGDIOBJ pen;
    {
        ScopedGdiObject scoped(CreatePen(PS_SOLID, 3, RGB(9, 9, 9)));
        pen = scoped.get();
        SelectedObject selected(dc, pen);
        EXPECT_EQ(pen, GetCurrentObject(dc, OBJ_PEN));
    }
    EXPECT_EQ(original, GetCurrentObject(dc, OBJ_PEN));
    EXPECT_EQ(0u, GetObjectType(pen));
    DeleteDC(dc);
}

TEST(ScopedHandle, PaintingValidatesTheUpdateRegion)
{
    HWND window = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    InvalidateRect(window, nullptr, FALSE);
    ASSERT_TRUE(GetUpdateRect(window, nullptr, FALSE));
    {
        PaintDC dc(window);
        EXPECT_TRUE(dc);
    }
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    DestroyWindow(window);
}

TEST(ScopedHandle, FilesSearchesAndModulesAreClosed)
{
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    lstrcatA(path, "scoped-handle-test.tmp");
    {
        ScopedFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
    }
    // The file was closed: it can be opened for exclusive use and deleted.
    ScopedFile again(CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(again);
    again.reset();
    EXPECT_TRUE(DeleteFileA(path));
    EXPECT_FALSE(ScopedFile(INVALID_HANDLE_VALUE));

    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA("C:\\windows\\*", &found));
    EXPECT_TRUE(search);

    ScopedModule module(LoadLibraryA("comctl32.dll"));
    ASSERT_TRUE(module);
    HMODULE loaded = module.get();
    module.reset();
    EXPECT_EQ(nullptr, GetModuleHandleA("comctl32.dll")) << "still loaded: " << loaded;
}

}  // namespace
