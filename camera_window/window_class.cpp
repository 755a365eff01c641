#include "camera_window/window_class.h"

namespace {

HINSTANCE g_module = nullptr;

}  // namespace

HINSTANCE windowsModule()
{
    return g_module;
}

void setWindowsModule(HINSTANCE module)
{
    g_module = module;
}

ATOM registerSourceWindowClass(UINT style, WNDPROC procedure, const char* className)
{
    WNDCLASSA windowClass = {};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = g_module;
    windowClass.hIcon = LoadIconA(g_module, "LX3TW_ICO");
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass);
}
