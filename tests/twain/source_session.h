// Drives the data source as an application does through DS_Entry, with the source
// manager's part (the identity with the assigned Id) played by the test.
#pragma once

#include "camera_window/camera_window_state.h"
#include "file_browser/file_browser_window.h"
#include "twain/ds_entry.h"
#include "twain/source_state.h"
#include "twain/transfer_cursor.h"

#include <gtest/gtest.h>

constexpr TW_UINT32 APP_ID = 7;
constexpr TW_UINT32 SOURCE_ID = 12;

inline TW_IDENTITY applicationIdentity(TW_UINT32 id)
{
    TW_IDENTITY identity = {};
    identity.Id = id;
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpyA(identity.ProductName, "Test application");
    return identity;
}

class SourceSession {
public:
    TW_IDENTITY app = applicationIdentity(APP_ID);

    TW_UINT16 call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) { return DS_Entry(&app, dg, dat, msg, data); }
    TW_UINT16 control(TW_UINT16 dat, TW_UINT16 msg, void* data) { return call(DG_CONTROL, dat, msg, data); }

    // The condition code, read back as an application does.
    TW_UINT16 conditionCode()
    {
        TW_STATUS status = {0xEEEE, 0xEEEE};
        EXPECT_EQ(TWRC_SUCCESS, control(DAT_STATUS, MSG_GET, &status));
        EXPECT_EQ(0, status.Reserved);
        return status.ConditionCode;
    }

    TW_UINT16 open()
    {
        TW_IDENTITY source = {};
        source.Id = SOURCE_ID;
        lstrcpyA(source.ProductName, "MELVO DIGITAL CAMERA WIN32");
        return control(DAT_IDENTITY, MSG_OPENDS, &source);
    }
    TW_UINT16 close() { return control(DAT_IDENTITY, MSG_CLOSEDS, nullptr); }
    TW_UINT16 enable(bool showUI, HWND parent = nullptr)
    {
        TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI), FALSE, parent};
        return control(DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    TW_UINT16 disable(bool showUI = true)
    {
        TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI), FALSE, nullptr};
        return control(DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
};

// Every test starts with the library freshly attached and the source closed (state 300),
// and leaves it closed again, with the transfer mechanism back at native.
class SourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    SourceSession session;
};
