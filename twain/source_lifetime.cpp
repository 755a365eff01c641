#include "twain/source_lifetime.h"

#include "camera_window/camera_window.h"
#include "camera_window/progress_dialog.h"
#include "resources/resource_ids.h"
#include "twain/announced_pictures.h"
#include "twain/source_state.h"

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
    registerSourceWindows(instance);
    // The doors between the layers: what the user asks in the windows comes up to the
    // protocol, the progress of the camera's library calls up to the windows' dialog.
    handleUserRequests();
    showCameraProgressInDialogs();
}

void sourceDetach()
{
    unregisterSourceWindows();
}
