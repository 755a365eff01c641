#include "file_browser_window.h"

#include "../twain/source_state.h"

namespace {

LRESULT CALLBACK fileBrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        if (g_source.fileBrowserWindow == window) g_source.fileBrowserWindow = nullptr;
        // The camera window was hidden while the browser stood in for it. When the source is
        // being closed, the camera window is already gone.
        if (g_source.cameraWindow && IsWindow(g_source.cameraWindow)) ShowWindow(g_source.cameraWindow, SW_SHOW);
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
