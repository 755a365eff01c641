// What the notification tests share: the source opened through DS_Entry the way a source manager
// opens it (the manager's copy of the source identity, carrying the Id the manager assigned), and
// closed again after each test.
#pragma once

#include "fake_dsm.h"
#include "message_box_recorder.h"
#include "twain/ds_entry.h"
#include "twain/notifications.h"
#include "twain/source_lifetime.h"
#include "twain/source_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

constexpr TW_UINT32 kApplicationId = 3;
constexpr TW_UINT32 kSourceIdFromManager = 41;
constexpr char kApplicationName[] = "Notification test application";
constexpr char kSourceProduct[] = "MELVO DIGITAL CAMERA WIN32";
// Only the manager's copy of the identity carries this text: finding it in a notification's
// origin proves the source sent the identity it received at MSG_OPENDS, not its defaults.
constexpr char kManagersCopyMark[] = "manager's copy";

inline TW_IDENTITY makeIdentity(TW_UINT32 id, const char* productName, const char* info)
{
    TW_IDENTITY identity{};
    identity.Id = id;
    identity.Version.MajorNum = 1;
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpynA(identity.Version.Info, info, sizeof identity.Version.Info);
    lstrcpynA(identity.ProductName, productName, sizeof identity.ProductName);
    return identity;
}

// How many times a TWAIN_32.DLL stand-in has been attached to this process so far.
inline long managerAttachCount()
{
    char text[16] = "";
    GetEnvironmentVariableA(FAKE_DSM_ATTACH_COUNT_VARIABLE, text, sizeof text);
    return std::strtol(text, nullptr, 10);
}

class OpenedSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static bool attached = false;
        if (!attached)
            sourceAttach(GetModuleHandleA(nullptr));
        attached = true;
    }

    void SetUp() override
    {
        ASSERT_EQ(STATE_DSM_OPEN, g_source.state);
        TW_IDENTITY managersCopy = makeIdentity(kSourceIdFromManager, kSourceProduct, kManagersCopyMark);
        ASSERT_EQ(TWRC_SUCCESS, DS_Entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &managersCopy));
        ASSERT_EQ(STATE_OPEN, g_source.state);
    }

    void TearDown() override
    {
        EXPECT_EQ(TWRC_SUCCESS, DS_Entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr));
        EXPECT_EQ(STATE_DSM_OPEN, g_source.state);
    }

    TW_IDENTITY app = makeIdentity(kApplicationId, kApplicationName, "test 1.0");
    MessageBoxRecorder boxes;
};
