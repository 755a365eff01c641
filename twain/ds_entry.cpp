// DS_Entry: the data source's one entry point. Every call first restores the file browser's
// directory, refuses callers other than the application that opened the source, routes
// window events to the camera window, and then dispatches the triplet through a table.
#include "twain/ds_entry.h"

#include "camera_window/camera_window.h"
#include "file_browser/directory_scan.h"
#include "twain/capabilities.h"
#include "twain/control_operations.h"
#include "twain/error_report.h"
#include "twain/image_operations.h"

namespace {

struct TableEntry {
    TW_UINT16        dataType;
    OperationHandler handler;
};

ReturnCode unsupportedOperation(const DispatchRecord&)
{
    return failQuietly(ConditionCode::BadProtocol);
}

const TableEntry CONTROL_TABLE[] = {
    {DAT_IDENTITY,      identityOperation},
    {DAT_USERINTERFACE, userInterfaceOperation},
    {DAT_CAPABILITY,    capabilityOperation},
    {DAT_STATUS,        statusOperation},
    {DAT_PENDINGXFERS,  pendingTransfersOperation},
    {DAT_SETUPMEMXFER,  setupMemoryTransferOperation},
    {DAT_SETUPFILEXFER, unsupportedOperation},
    {DAT_XFERGROUP,     transferGroupOperation},
    {0, nullptr},
};

const TableEntry IMAGE_TABLE[] = {
    {DAT_IMAGEINFO,       imageInfoOperation},
    {DAT_IMAGELAYOUT,     imageLayoutOperation},
    {DAT_IMAGEMEMXFER,    memoryTransferOperation},
    {DAT_IMAGENATIVEXFER, nativeTransferOperation},
    {DAT_IMAGEFILEXFER,   unsupportedOperation},
    {DAT_PALETTE8,        unsupportedOperation},
    {DAT_GRAYRESPONSE,    unsupportedOperation},
    {DAT_RGBRESPONSE,     unsupportedOperation},
    {DAT_CIECOLOR,        unsupportedOperation},
    {DAT_JPEGCOMPRESSION, unsupportedOperation},
    {0, nullptr},
};

// Messages that TWAIN added after 1.6 for data types this source knows. Applications and source
// managers of today send them to every source, 1.x ones included, and take a quiet
// TWCC_BADPROTOCOL as "not supported"; the 1.6 handlers would show a box for each.
struct LaterMessage {
    TW_UINT16 dataType;
    TW_UINT16 message;
};

const LaterMessage LATER_MESSAGES[] = {
    {DAT_CAPABILITY,    MSG_GETHELP},
    {DAT_CAPABILITY,    MSG_GETLABEL},
    {DAT_CAPABILITY,    MSG_GETLABELENUM},
    {DAT_CAPABILITY,    MSG_SETCONSTRAINT},
    {DAT_CAPABILITY,    MSG_RESETALL},
    {DAT_USERINTERFACE, MSG_ENABLEDSUIONLY},
    {DAT_PENDINGXFERS,  MSG_STOPFEEDER},
};

bool isLaterMessage(const DispatchRecord& call)
{
    if (call.dataGroup != DG_CONTROL) return false;
    for (const LaterMessage& later : LATER_MESSAGES)
        if (later.dataType == call.dataType && later.message == call.message) return true;
    return false;
}

// Every supported operation reads or writes its data, except closing the source and the
// native transfer, which answers a missing handle variable with TWRC_CANCEL itself.
bool needsData(const TableEntry& entry, TW_UINT16 message)
{
    if (entry.handler == unsupportedOperation || entry.dataType == DAT_IMAGENATIVEXFER) return false;
    return !(entry.dataType == DAT_IDENTITY && message == MSG_CLOSEDS);
}

// The file browser's directory is the process's current directory whenever the source runs:
// the decoders take paths relative to it. The saved path is a full one, so it selects its
// drive too. A vanished directory or an unavailable drive is no concern of the caller's.
void restoreWorkingDirectory()
{
    if (g_browserDirectory[0] != '\0') SetCurrentDirectoryA(g_browserDirectory);
}

bool isForeignCaller(const TW_IDENTITY* origin)
{
    if (g_source.appIdentity.Id == 0) return false;
    return !origin || origin->Id != g_source.appIdentity.Id;
}

ReturnCode processEvent(TW_EVENT* event)
{
    if (!event || !event->pEvent) return failQuietly(ConditionCode::BadValue);
    HWND window = cameraWindowHandle();
    if (window && IsWindow(window) && IsDialogMessageA(window, static_cast<MSG*>(event->pEvent))) {
        event->TWMessage = MSG_NULL;
        return ReturnCode::DSEvent;
    }
    return ReturnCode::NotDSEvent;
}

ReturnCode dispatch(const DispatchRecord& call)
{
    const TableEntry* table = nullptr;
    if (call.dataGroup == DG_CONTROL) table = CONTROL_TABLE;
    else if (call.dataGroup == DG_IMAGE) table = IMAGE_TABLE;
    if (!table || isLaterMessage(call)) return failQuietly(ConditionCode::BadProtocol);

    for (const TableEntry* entry = table; entry->handler; ++entry) {
        if (entry->dataType != call.dataType) continue;
        if (!call.data && needsData(*entry, call.message)) return failQuietly(ConditionCode::BadValue);
        return entry->handler(call);
    }
    return failQuietly(ConditionCode::BadProtocol);
}

}  // namespace

ReturnCode failQuietly(ConditionCode code)
{
    g_source.conditionCode = code;
    return ReturnCode::Failure;
}

ReturnCode failWithReport(const char* operationText, ConditionCode code)
{
    g_source.conditionCode = code;
    twainFailure(operationText, code);
    return ReturnCode::Failure;
}

TW_UINT16 WINAPI DS_Entry(TW_IDENTITY* origin, TW_UINT32 dataGroup, TW_UINT16 dataType, TW_UINT16 message,
                          TW_MEMREF data)
{
    restoreWorkingDirectory();

    // Source managers ask every source for its identity while they enumerate, with no
    // meaningful origin: answer it without looking at the origin and change nothing else.
    if (dataGroup == DG_CONTROL && dataType == DAT_IDENTITY && message == MSG_GET) {
        if (!data) return static_cast<TW_UINT16>(failQuietly(ConditionCode::BadValue));
        copySourceIdentity(static_cast<TW_IDENTITY*>(data));
        return static_cast<TW_UINT16>(ReturnCode::Success);
    }

    if (isForeignCaller(origin)) return static_cast<TW_UINT16>(ReturnCode::Failure);

    if (message == MSG_PROCESSEVENT) return static_cast<TW_UINT16>(processEvent(static_cast<TW_EVENT*>(data)));

    if (!(dataGroup == DG_CONTROL && dataType == DAT_STATUS)) g_source.conditionCode = ConditionCode::Success;

    const DispatchRecord call = {origin, dataGroup, dataType, message, data};
    return static_cast<TW_UINT16>(dispatch(call));
}
