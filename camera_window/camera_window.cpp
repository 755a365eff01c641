#include "camera_window.h"

#include "../twain/notifications.h"
#include "../twain/source_state.h"

namespace {

// The user closes the window: it goes away and the application is asked to close the source.
LRESULT onClose(HWND window)
{
    DestroyWindow(window);
    notifyCloseRequest();
    return 0;
}

LRESULT onDestroy(HWND window)
{
    if (g_source.cameraWindow == window) g_source.cameraWindow = nullptr;
    return 0;
}

LRESULT CALLBACK cameraWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:   return onClose(window);
    case WM_DESTROY: return onDestroy(window);
    default:         return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

ATOM registerCameraWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS | CS_PARENTDC;
    windowClass.lpfnWndProc = cameraWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = CAMERA_WINDOW_CLASS;
    return RegisterClassA(&windowClass);
}

bool createCameraWindow(HWND parent)
{
    const DWORD exStyle = parent ? 0 : WS_EX_TOPMOST;
    g_source.cameraWindow = CreateWindowExA(exStyle, CAMERA_WINDOW_CLASS, CAMERA_WINDOW_TITLE, WS_CAPTION | WS_SYSMENU,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CAMERA_WINDOW_WIDTH, CAMERA_WINDOW_HEIGHT,
                                            parent, nullptr, g_source.moduleInstance, nullptr);
    return g_source.cameraWindow != nullptr;
}

bool cameraWindowExists()
{
    return g_source.cameraWindow && IsWindow(g_source.cameraWindow);
}

void destroyCameraWindow()
{
    if (cameraWindowExists()) DestroyWindow(g_source.cameraWindow);
    g_source.cameraWindow = nullptr;
}
