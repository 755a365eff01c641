// A minimal TWAIN data source that exercises an application's handling of notifications and
// native transfers through a real source manager: once enabled, it announces two pictures
// (MSG_XFERREADY), hands each out as a small DIB (DAT_IMAGENATIVEXFER), and when the application
// has ended both transfers (MSG_ENDXFER) or dropped them (MSG_RESET) it asks to be closed
// (MSG_CLOSEDSREQ). Used to test twacquire against Wine's TWAIN_32.DLL and a source not our own.
#include "twain/twain_types.h"

#include <cstring>

namespace {

constexpr char kWindowClass[] = "TwacquireProbeSource";
constexpr UINT UM_ANNOUNCE = WM_APP + 1;
constexpr UINT UM_ASK_TO_CLOSE = WM_APP + 2;
constexpr TW_UINT16 kAnnouncedPictures = 2;

HINSTANCE g_instance;
TW_IDENTITY g_source;
TW_IDENTITY g_app;
HWND g_window;
TW_UINT16 g_pending;
TW_UINT16 g_condition = TWCC_SUCCESS;

void fillIdentity(TW_IDENTITY* identity)
{
    const TW_UINT32 id = identity->Id;
    *identity = TW_IDENTITY{};
    identity->Id = id;
    identity->Version.MajorNum = 1;
    identity->Version.Language = TWLG_USA;
    identity->Version.Country = TWCY_USA;
    lstrcpyA(identity->Version.Info, "test probe");
    identity->ProtocolMajor = 1;
    identity->ProtocolMinor = 9;
    identity->SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpyA(identity->Manufacturer, "MELVO camera TWAIN project");
    lstrcpyA(identity->ProductFamily, "Tests");
    lstrcpyA(identity->ProductName, "twacquire probe source");
}

void notify(TW_UINT16 message)
{
    HMODULE manager = LoadLibraryA("TWAIN_32.DLL");
    if (!manager)
        return;
    auto entry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(manager, "DSM_Entry"));
    if (entry)
        entry(&g_source, &g_app, DG_CONTROL, DAT_NULL, message, nullptr);
    FreeLibrary(manager);
}

// Notifications go out from the window procedure, on the application's thread, as real sources do.
LRESULT CALLBACK probeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case UM_ANNOUNCE:
        g_pending = kAnnouncedPictures;
        notify(MSG_XFERREADY);
        return 0;
    case UM_ASK_TO_CLOSE:
        notify(MSG_CLOSEDSREQ);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

TW_UINT16 fail(TW_UINT16 condition)
{
    g_condition = condition;
    return TWRC_FAILURE;
}

HGLOBAL oneValue(TW_UINT16 itemType, TW_UINT32 item)
{
    HGLOBAL block = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    if (auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(block))) {
        one->ItemType = itemType;
        one->Item = item;
        GlobalUnlock(block);
    }
    return block;
}

HGLOBAL supportedCaps()
{
    const TW_UINT16 caps[] = {CAP_SUPPORTEDCAPS, CAP_XFERCOUNT};
    HGLOBAL block = GlobalAlloc(GHND, TW_ARRAY_HEADER + sizeof caps);
    if (auto* bytes = static_cast<TW_UINT8*>(GlobalLock(block))) {
        const TW_UINT16 itemType = TWTY_UINT16;
        const TW_UINT32 count = 2;
        std::memcpy(bytes, &itemType, 2);
        std::memcpy(bytes + 2, &count, 4);
        std::memcpy(bytes + TW_ARRAY_HEADER, caps, sizeof caps);
        GlobalUnlock(block);
    }
    return block;
}

TW_UINT16 capability(TW_UINT16 msg, TW_CAPABILITY* cap)
{
    if (msg != MSG_GET)
        return fail(TWCC_BADPROTOCOL);
    if (cap->Cap == CAP_SUPPORTEDCAPS) {
        cap->ConType = TWON_ARRAY;
        cap->hContainer = supportedCaps();
    } else if (cap->Cap == CAP_XFERCOUNT) {
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = oneValue(TWTY_INT16, 0xFFFF);
    } else {
        return fail(TWCC_BADCAP);
    }
    return cap->hContainer ? static_cast<TW_UINT16>(TWRC_SUCCESS) : fail(TWCC_LOWMEMORY);
}

TW_UINT16 control(TW_IDENTITY* origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    switch (dat) {
    case DAT_IDENTITY:
        if (msg == MSG_GET) {
            fillIdentity(static_cast<TW_IDENTITY*>(data));
            return TWRC_SUCCESS;
        }
        if (msg == MSG_OPENDS) {
            g_app = *origin;
            g_source = *static_cast<TW_IDENTITY*>(data);
            return TWRC_SUCCESS;
        }
        if (msg == MSG_CLOSEDS) {
            if (g_window)
                DestroyWindow(g_window);
            g_window = nullptr;
            return TWRC_SUCCESS;
        }
        return fail(TWCC_BADPROTOCOL);
    case DAT_CAPABILITY:
        return capability(msg, static_cast<TW_CAPABILITY*>(data));
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) {
            g_window = CreateWindowExA(0, kWindowClass, "Probe source", WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                       CW_USEDEFAULT, 200, 100, static_cast<HWND>(static_cast<TW_USERINTERFACE*>(data)->hParent),
                                       nullptr, g_instance, nullptr);
            if (!g_window)
                return fail(TWCC_LOWMEMORY);
            ShowWindow(g_window, SW_SHOW);
            PostMessageA(g_window, UM_ANNOUNCE, 0, 0);
            return TWRC_SUCCESS;
        }
        if (msg == MSG_DISABLEDS) {
            if (g_window)
                ShowWindow(g_window, SW_HIDE);
            return TWRC_SUCCESS;
        }
        return fail(TWCC_BADPROTOCOL);
    case DAT_PENDINGXFERS: {
        auto* pending = static_cast<TW_PENDINGXFERS*>(data);
        if (msg == MSG_GET) {
            pending->Count = g_pending;
            return TWRC_SUCCESS;
        }
        if (msg == MSG_ENDXFER) {
            if (g_pending > 0) --g_pending;
            pending->Count = g_pending;
            if (g_pending == 0) PostMessageA(g_window, UM_ASK_TO_CLOSE, 0, 0);
            return TWRC_SUCCESS;
        }
        if (msg == MSG_RESET) {
            g_pending = 0;
            pending->Count = 0;
            PostMessageA(g_window, UM_ASK_TO_CLOSE, 0, 0);
            return TWRC_SUCCESS;
        }
        return fail(TWCC_BADPROTOCOL);
    }
    case DAT_STATUS:
        static_cast<TW_STATUS*>(data)->ConditionCode = g_condition;
        static_cast<TW_STATUS*>(data)->Reserved = 0;
        g_condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    default:
        return fail(TWCC_BADPROTOCOL);
    }
}

// Picture n of the probe: 3 x 2 pixels, 24 bits, rows padded to 4 bytes; every byte is n.
TW_UINT16 nativeTransfer(TW_UINT16 msg, TW_HANDLE* handle)
{
    if (msg != MSG_GET || g_pending == 0)
        return fail(TWCC_SEQERROR);
    const DWORD rowBytes = 12;
    HGLOBAL block = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 2 * rowBytes);
    auto* header = static_cast<BITMAPINFOHEADER*>(block ? GlobalLock(block) : nullptr);
    if (!header)
        return fail(TWCC_LOWMEMORY);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = 3;
    header->biHeight = 2;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = 2 * rowBytes;
    std::memset(header + 1, kAnnouncedPictures - g_pending + 1, 2 * rowBytes);
    GlobalUnlock(block);
    *handle = block;
    return TWRC_XFERDONE;
}

}  // namespace

extern "C" TW_UINT16 WINAPI DS_Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    if (msg == MSG_PROCESSEVENT)
        return TWRC_NOTDSEVENT;
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER)
        return nativeTransfer(msg, static_cast<TW_HANDLE*>(data));
    if (dg != DG_CONTROL)
        return fail(TWCC_BADPROTOCOL);
    return control(origin, dat, msg, data);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        WNDCLASSA wc{};
        wc.lpfnWndProc = probeWindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kWindowClass;
        RegisterClassA(&wc);
    }
    return TRUE;
}
