#include "file_browser_window.h"

#include "../twain/source_state.h"

namespace {

LRESULT CALLBACK fileBrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        if (g_source.fileBrowserWindow == window) g_source.fileBrowserWindow = nullptr;
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

ATOM registerFileBrowserWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS | CS_PARENTDC;
    windowClass.lpfnWndProc = fileBrowserWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = FILE_BROWSER_WINDOW_CLASS;
    return RegisterClassA(&windowClass);
}

bool fileBrowserWindowExists()
{
    return g_source.fileBrowserWindow && IsWindow(g_source.fileBrowserWindow);
}

void destroyFileBrowserWindow()
{
    if (fileBrowserWindowExists()) DestroyWindow(g_source.fileBrowserWindow);
    g_source.fileBrowserWindow = nullptr;
}
