#include "twain/source_state.h"

#include "twain/source_lifetime.h"
#include "camera_window/camera_window.h"
#include "file_browser/file_browser_window.h"
#include "resources/resource_ids.h"

SourceState g_source;

namespace {

void loadIdentityString(UINT id, char (&field)[34])
{
    field[0] = '\0';
    LoadStringA(g_source.moduleInstance, id, field, sizeof field);
}

void fillIdentityDefaults()
{
    TW_IDENTITY& identity = g_source.sourceIdentity;
    identity.Id = 0;
    identity.Version.MajorNum = 1;
    identity.Version.MinorNum = 0;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    loadIdentityString(IDS_VERSION_INFO, identity.Version.Info);
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    loadIdentityString(IDS_MANUFACTURER, identity.Manufacturer);
    loadIdentityString(IDS_PRODUCT_FAMILY, identity.ProductFamily);
    loadIdentityString(IDS_PRODUCT_NAME, identity.ProductName);
}

}  // namespace

void sourceAttach(HINSTANCE instance)
{
    g_source.appIdentity.Id = 0;
    g_source.moduleInstance = instance;
    fillIdentityDefaults();
    // Registration failures surface later, when MSG_ENABLEDS cannot create the window.
    registerCameraWindowClass(instance);
    registerFileBrowserWindowClass(instance);
}

void sourceDetach()
{
    UnregisterClassA(CAMERA_WINDOW_CLASS, g_source.moduleInstance);
    UnregisterClassA(FILE_BROWSER_WINDOW_CLASS, g_source.moduleInstance);
}
