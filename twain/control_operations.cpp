#include "twain/control_operations.h"

#include "camera/camera_connection.h"
#include "camera_window/camera_commands.h"
#include "camera_window/camera_window.h"
#include "file_browser/file_browser_window.h"
#include "twain/capabilities.h"
#include "twain/transfer_cursor.h"

#include <cstring>

namespace {

const char IDENTITY_FAILURE[]      = "General failure in DAT_IDENTITY.  ";
const char USERINTERFACE_FAILURE[] = "General failure in DAT_USERINTERFACE.  ";
const char ENABLE_FAILURE[]        = "General failure in MSG_ENABLEDS.  ";
const char DISABLE_FAILURE[]       = "General failure in MSG_DISABLEDS.  ";
const char OPEN_FAILURE[]          = "General failure in MSG_OPENDS.  ";
const char CLOSE_FAILURE[]         = "General failure in MSG_CLOSEDS.  ";
const char STATUS_FAILURE[]        = "General failure in DAT_STATUS.  ";
const char PENDING_FAILURE[]       = "General failure in DAT_PENDINGXFER.  ";
const char SETUPMEM_FAILURE[]      = "General failure in DAT_SETUPMEMXFER, not supported.  ";
const char XFERGROUP_FAILURE[]     = "General failure in DAT_XFERGROUP, not supported.  ";

// Memory transfers go in strips of 16 rows of a picture up to 768 pixels wide; before any
// picture is known, a 768 x 576 picture is assumed.
constexpr TW_UINT32 MEMXFER_MIN_BUFFER = 16 * 768 * 3;
constexpr TW_UINT32 MEMXFER_ASSUMED_IMAGE = 768 * 576 * 3;

bool isOpen()
{
    return stateIsOneOf({STATE_OPEN, STATE_ENABLED, STATE_XFER_READY});
}

ReturnCode openSource(const DispatchRecord& call)
{
    if (g_source.state != STATE_DSM_OPEN) return failWithReport(OPEN_FAILURE, ConditionCode::SeqError);
    // The application's identity is the origin; without one there is nobody to serve.
    if (!call.origin) return failQuietly(ConditionCode::BadValue);
    std::memcpy(&g_source.appIdentity, call.origin, sizeof(TW_IDENTITY));
    std::memcpy(&g_source.sourceIdentity, call.data, sizeof(TW_IDENTITY));
    g_source.state = STATE_OPEN;
    return ReturnCode::Success;
}

ReturnCode closeSource()
{
    if (!isOpen()) return failWithReport(CLOSE_FAILURE, ConditionCode::SeqError);
    g_source.appIdentity.Id = 0;
    destroyCameraWindow();
    destroyFileBrowserWindow();
    dropCameraLink();
    releaseCurrentBitmap();
    g_source.state = STATE_DSM_OPEN;
    return ReturnCode::Success;
}

// Shows again what the last MSG_DISABLEDS hid: the file browser when the user was in it, the
// camera window otherwise.
void showUserInterface()
{
    const bool browserBack = g_source.fileBrowserHidden && fileBrowserWindowExists();
    if (browserBack) {
        adoptFileBrowserWindow(g_source.parentWindow);
        ShowWindow(g_fileBrowserWindow, SW_SHOW);
    }
    if (!browserBack || g_source.cameraWindowHidden) ShowWindow(cameraWindowHandle(), SW_SHOW);
    SetFocus(browserBack ? g_fileBrowserWindow : cameraWindowHandle());
    g_source.cameraWindowHidden = false;
    g_source.fileBrowserHidden = false;
}

ReturnCode enableSource(const TW_USERINTERFACE& ui)
{
    if (g_source.state != STATE_OPEN) return failWithReport(ENABLE_FAILURE, ConditionCode::SeqError);
    g_source.parentWindow = static_cast<HWND>(ui.hParent);
    g_source.enablingThread = GetCurrentThreadId();
    // An earlier enable's window, hidden by MSG_DISABLEDS, comes back as the user left it.
    if (cameraWindowExists()) {
        adoptCameraWindow(g_source.parentWindow);
    } else if (!createCameraWindow(g_source.parentWindow)) {
        return failWithReport(ENABLE_FAILURE, ConditionCode::LowMemory);
    }
    showUserInterface();
    g_source.state = STATE_ENABLED;
    return ui.ShowUI ? ReturnCode::Success : ReturnCode::CheckStatus;
}

// The source's windows go whatever ShowUI says: in state 400 TWAIN allows no user interface of
// the source, and a close request from it would reach an application that no longer listens.
ReturnCode disableSource()
{
    if (!stateIsOneOf({STATE_ENABLED, STATE_XFER_READY}))
        return failWithReport(DISABLE_FAILURE, ConditionCode::SeqError);
    g_source.cameraWindowHidden = cameraWindowExists() && IsWindowVisible(cameraWindowHandle());
    g_source.fileBrowserHidden = fileBrowserWindowExists() && IsWindowVisible(g_fileBrowserWindow);
    if (g_source.parentWindow && IsWindow(g_source.parentWindow)) SetFocus(g_source.parentWindow);
    if (g_source.cameraWindowHidden) ShowWindow(cameraWindowHandle(), SW_HIDE);
    if (g_source.fileBrowserHidden) ShowWindow(g_fileBrowserWindow, SW_HIDE);
    g_source.state = STATE_OPEN;
    return ReturnCode::Success;
}

TW_UINT32 preferredMemoryBuffer()
{
    const TW_UINT32 bytes = static_cast<TW_UINT32>(g_transfer.picture.width) *
                            static_cast<TW_UINT32>(g_transfer.picture.height) * 3;
    return bytes ? bytes : MEMXFER_ASSUMED_IMAGE;
}

}  // namespace

void copySourceIdentity(TW_IDENTITY* destination)
{
    std::memcpy(destination, &g_source.sourceIdentity, sizeof(TW_IDENTITY));
}

ReturnCode identityOperation(const DispatchRecord& call)
{
    switch (call.message) {
    case MSG_GET:
        copySourceIdentity(static_cast<TW_IDENTITY*>(call.data));
        return ReturnCode::Success;
    case MSG_OPENDS: {
        const ReturnCode result = openSource(call);
        // Whatever the open's outcome: each application starts from the default resolutions.
        resetResolutionCapabilities();
        return result;
    }
    case MSG_CLOSEDS:
        return closeSource();
    default:
        return failWithReport(IDENTITY_FAILURE, ConditionCode::BadProtocol);
    }
}

ReturnCode userInterfaceOperation(const DispatchRecord& call)
{
    const auto& ui = *static_cast<const TW_USERINTERFACE*>(call.data);
    switch (call.message) {
    case MSG_ENABLEDS:  return enableSource(ui);
    case MSG_DISABLEDS: return disableSource();
    default:            return failWithReport(USERINTERFACE_FAILURE, ConditionCode::BadProtocol);
    }
}

ReturnCode statusOperation(const DispatchRecord& call)
{
    if (call.message != MSG_GET) return failWithReport(STATUS_FAILURE, ConditionCode::BadProtocol);
    auto* status = static_cast<TW_STATUS*>(call.data);
    status->ConditionCode = static_cast<TW_UINT16>(g_source.conditionCode);
    status->Reserved = 0;
    g_source.conditionCode = ConditionCode::Success;
    return ReturnCode::Success;
}

ReturnCode pendingTransfersOperation(const DispatchRecord& call)
{
    auto* pending = static_cast<TW_PENDINGXFERS*>(call.data);
    switch (call.message) {
    case MSG_GET:
        if (!isOpen()) return failWithReport(PENDING_FAILURE, ConditionCode::SeqError);
        pending->Count = static_cast<TW_UINT16>(pendingCount());
        return ReturnCode::Success;
    case MSG_RESET:
        if (g_source.state != STATE_XFER_READY) return failWithReport(PENDING_FAILURE, ConditionCode::SeqError);
        // A half-delivered bitmap must not leak into the next transfer's rows.
        releaseCurrentBitmap();
        g_source.state = STATE_ENABLED;
        pending->Count = 0;
        pendingEnd();
        return ReturnCode::Success;
    case MSG_ENDXFER: {
        const int16_t remaining = pendingCountOff();
        // The camera's pictures may have changed under the transfers: show where it stands.
        // Without an open link there is nothing to ask.
        if (remaining == 0 && g_transfer.origin == ORIGIN_CAMERA_WINDOW && cameraConnected()) resyncCameraPage();
        pending->Count = static_cast<TW_UINT16>(remaining);
        return ReturnCode::Success;
    }
    default:
        return failWithReport(PENDING_FAILURE, ConditionCode::BadProtocol);
    }
}

ReturnCode setupMemoryTransferOperation(const DispatchRecord& call)
{
    if (!isOpen()) return failWithReport(SETUPMEM_FAILURE, ConditionCode::SeqError);
    if (call.message != MSG_GET) return failWithReport(SETUPMEM_FAILURE, ConditionCode::BadProtocol);
    auto* setup = static_cast<TW_SETUPMEMXFER*>(call.data);
    if (memoryTransferSelected()) {
        setup->MinBufSize = MEMXFER_MIN_BUFFER;
        setup->MaxBufSize = TWON_DONTCARE32;
        setup->Preferred = preferredMemoryBuffer();
    } else {
        setup->MinBufSize = TWON_DONTCARE32;
        setup->MaxBufSize = TWON_DONTCARE32;
        setup->Preferred = TWON_DONTCARE32;
    }
    return ReturnCode::Success;
}

ReturnCode transferGroupOperation(const DispatchRecord& call)
{
    if (!isOpen()) return failWithReport(XFERGROUP_FAILURE, ConditionCode::SeqError);
    switch (call.message) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
    case MSG_RESET:
        *static_cast<TW_UINT32*>(call.data) = DG_IMAGE;
        return ReturnCode::Success;
    default:
        return failWithReport(XFERGROUP_FAILURE, ConditionCode::BadProtocol);
    }
}
