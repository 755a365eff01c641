// Capability negotiation: container bytes and sizes, the set rules, resets, states.
#include "source_session.h"
#include "message_box_recorder.h"

#include "twain/capabilities.h"
#include "twain/transfer_cursor.h"

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint16_t v) { b.push_back(v & 0xFF); b.push_back(v >> 8); }
void put32(Bytes& b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

Bytes oneValue(uint16_t type, uint32_t item)
{
    Bytes b;
    put16(b, type);
    put32(b, item);
    return b;
}

// The block carries one spare byte after the items, as the container's declared size says.
Bytes enumeration(uint32_t current, std::vector<uint16_t> items)
{
    Bytes b;
    put16(b, TWTY_UINT16);
    put32(b, static_cast<uint32_t>(items.size()));
    put32(b, current);
    put32(b, 0);
    for (uint16_t item : items) put16(b, item);
    b.push_back(0);
    return b;
}

Bytes resolutionRange(uint32_t current)
{
    Bytes b;
    put16(b, TWTY_FIX32);
    for (uint32_t v : {40u, 600u, 1u, 300u, current}) put32(b, v);
    return b;
}

Bytes array(std::vector<uint16_t> items)
{
    Bytes b;
    put16(b, TWTY_UINT16);
    put32(b, static_cast<uint32_t>(items.size()));
    for (uint16_t item : items) put16(b, item);
    b.push_back(0);
    return b;
}

class Capabilities : public SourceTest {
protected:
    void SetUp() override
    {
        SourceTest::SetUp();
        ASSERT_EQ(TWRC_SUCCESS, session.open());
    }

    // Asks and returns the container's bytes (the whole block), freeing it as the application must.
    Bytes ask(TW_UINT16 message, TW_UINT16 cap, TW_UINT16* conType = nullptr)
    {
        TW_CAPABILITY capability = {cap, 0, nullptr};
        const TW_UINT16 rc = session.control(DAT_CAPABILITY, message, &capability);
        EXPECT_EQ(TWRC_SUCCESS, rc) << std::hex << cap;
        if (rc != TWRC_SUCCESS || !capability.hContainer) return {};
        if (conType) *conType = capability.ConType;
        const SIZE_T size = GlobalSize(capability.hContainer);
        auto* data = static_cast<uint8_t*>(GlobalLock(capability.hContainer));
        Bytes bytes(data, data + size);
        GlobalUnlock(capability.hContainer);
        EXPECT_EQ(nullptr, GlobalFree(capability.hContainer));
        return bytes;
    }

    TW_UINT16 setContainer(TW_UINT16 cap, TW_UINT16 conType, const Bytes& bytes)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        TW_CAPABILITY capability = {cap, conType, block};
        const TW_UINT16 rc = session.control(DAT_CAPABILITY, MSG_SET, &capability);
        GlobalFree(block);
        return rc;
    }

    TW_UINT16 setOneValue(TW_UINT16 cap, TW_UINT16 type, uint32_t value)
    {
        return setContainer(cap, TWON_ONEVALUE, oneValue(type, value));
    }

    TW_UINT16 failureOf(TW_UINT16 message, TW_UINT16 cap)
    {
        TW_CAPABILITY capability = {cap, 0, nullptr};
        EXPECT_EQ(TWRC_FAILURE, session.control(DAT_CAPABILITY, message, &capability));
        EXPECT_EQ(nullptr, capability.hContainer);
        return session.conditionCode();
    }
};

TEST_F(Capabilities, GetReturnsEveryContainerByteForByte)
{
    struct Case {
        TW_UINT16 cap;
        TW_UINT16 conType;
        Bytes bytes;
    };
    const Case cases[] = {
        {CAP_XFERCOUNT, TWON_ONEVALUE, oneValue(TWTY_INT16, 0xFFFFFFFF)},
        {ICAP_COMPRESSION, TWON_ENUMERATION, enumeration(0, {TWCP_NONE})},
        {ICAP_PIXELTYPE, TWON_ENUMERATION, enumeration(0, {TWPT_RGB})},
        {ICAP_UNITS, TWON_ENUMERATION, enumeration(0, {TWUN_INCHES, TWUN_PIXELS, TWUN_CENTIMETERS})},
        {ICAP_XFERMECH, TWON_ENUMERATION, enumeration(0, {TWSX_NATIVE, TWSX_MEMORY})},
        {CAP_SUPPORTEDCAPS, TWON_ARRAY,
         array({CAP_SUPPORTEDCAPS, CAP_XFERCOUNT, ICAP_COMPRESSION, ICAP_PHYSICALHEIGHT, ICAP_PHYSICALWIDTH,
                ICAP_PIXELFLAVOR, ICAP_PIXELTYPE, ICAP_UNITS, ICAP_XFERMECH, ICAP_XRESOLUTION, ICAP_YRESOLUTION,
                ICAP_BITDEPTH, ICAP_BITORDER, ICAP_PLANARCHUNKY, CAP_UICONTROLLABLE})},
        {CAP_UICONTROLLABLE, TWON_ONEVALUE, oneValue(TWTY_BOOL, FALSE)},
        {ICAP_PHYSICALWIDTH, TWON_ONEVALUE, oneValue(TWTY_FIX32, 0x87AF0008)},
        {ICAP_PHYSICALHEIGHT, TWON_ONEVALUE, oneValue(TWTY_FIX32, 14)},
        {ICAP_XRESOLUTION, TWON_RANGE, resolutionRange(300)},
        {ICAP_YRESOLUTION, TWON_RANGE, resolutionRange(300)},
        {ICAP_BITORDER, TWON_ONEVALUE, oneValue(TWTY_UINT16, TWBO_MSBFIRST)},
        {ICAP_PIXELFLAVOR, TWON_ENUMERATION, enumeration(0, {TWPF_CHOCOLATE})},
        {ICAP_PLANARCHUNKY, TWON_ONEVALUE, oneValue(TWTY_UINT16, TWPC_CHUNKY)},
        {ICAP_BITDEPTH, TWON_ONEVALUE, oneValue(TWTY_UINT16, 8)},
    };
    for (const Case& c : cases) {
        TW_UINT16 conType = 0;
        EXPECT_EQ(c.bytes, ask(MSG_GET, c.cap, &conType)) << std::hex << c.cap;
        EXPECT_EQ(c.conType, conType) << std::hex << c.cap;
    }
}

TEST_F(Capabilities, CurrentAndDefaultAreSingleValues)
{
    EXPECT_EQ(oneValue(TWTY_UINT16, TWUN_INCHES), ask(MSG_GETCURRENT, ICAP_UNITS));
    EXPECT_EQ(oneValue(TWTY_INT16, 0xFFFFFFFF), ask(MSG_GETDEFAULT, CAP_XFERCOUNT));
    EXPECT_EQ(oneValue(TWTY_FIX32, 300), ask(MSG_GETCURRENT, ICAP_XRESOLUTION));
    EXPECT_EQ(oneValue(TWTY_FIX32, 0x87AF0008), ask(MSG_GETDEFAULT, ICAP_PHYSICALWIDTH));
    EXPECT_EQ(oneValue(TWTY_UINT16, 8), ask(MSG_GETCURRENT, ICAP_BITDEPTH));
    EXPECT_EQ(TWCC_BADCAP, failureOf(MSG_GETCURRENT, CAP_SUPPORTEDCAPS));
    EXPECT_EQ(TWCC_BADCAP, failureOf(MSG_GETDEFAULT, CAP_UICONTROLLABLE));
}

TEST_F(Capabilities, DecodedResolutionIsCurrentButNotDefault)
{
    setImageResolution(toFix32(118.0), toFix32(59.5));
    EXPECT_EQ(oneValue(TWTY_FIX32, 118), ask(MSG_GETCURRENT, ICAP_XRESOLUTION));
    EXPECT_EQ(oneValue(TWTY_FIX32, 0x8000003B), ask(MSG_GETCURRENT, ICAP_YRESOLUTION));
    EXPECT_EQ(oneValue(TWTY_FIX32, 300), ask(MSG_GETDEFAULT, ICAP_XRESOLUTION));
    EXPECT_EQ(oneValue(TWTY_FIX32, 300), ask(MSG_RESET, ICAP_XRESOLUTION));
    EXPECT_EQ(oneValue(TWTY_FIX32, 300), ask(MSG_GETCURRENT, ICAP_XRESOLUTION));
    EXPECT_EQ(oneValue(TWTY_FIX32, 0x8000003B), ask(MSG_GETCURRENT, ICAP_YRESOLUTION));

    // Opening the source again starts from the defaults.
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    EXPECT_EQ(oneValue(TWTY_FIX32, 300), ask(MSG_GETCURRENT, ICAP_YRESOLUTION));
}

// A decoder's facts reach the capabilities through the transfer cursor alone: the source is only
// open, with no window and no camera.
TEST_F(Capabilities, PictureFactsSetUnitsAndResolutionsWithoutAWindow)
{
    struct Case {
        PictureFacts facts;
        TW_UINT16 units;
        uint32_t x, y;
    };
    const Case cases[] = {
        {{641, 479, PictureUnits::Centimetres, 118.11f, 59.055f}, TWUN_CENTIMETERS, 118, 59},
        {{17, 9, PictureUnits::Pixels, 0, 0}, TWUN_PIXELS, 118, 59},  // without resolution the last ones stay
        {{1, 1, PictureUnits::Centimetres, 0.004f, 99.9999995f}, TWUN_CENTIMETERS, 0, 100},
    };
    for (const Case& c : cases) {
        takePictureFacts(c.facts);
        EXPECT_EQ(oneValue(TWTY_UINT16, c.units), ask(MSG_GETCURRENT, ICAP_UNITS)) << c.facts.width;
        EXPECT_EQ(oneValue(TWTY_FIX32, c.x), ask(MSG_GETCURRENT, ICAP_XRESOLUTION)) << c.facts.width;
        EXPECT_EQ(oneValue(TWTY_FIX32, c.y), ask(MSG_GETCURRENT, ICAP_YRESOLUTION)) << c.facts.width;
        EXPECT_EQ(uint32_t(c.facts.width * c.facts.height * 3), g_transfer.bytesRemaining);
    }
    // Units outlive the source's closing; the next test starts from the default.
    EXPECT_EQ(oneValue(TWTY_UINT16, TWUN_INCHES), ask(MSG_RESET, ICAP_UNITS));
}

TEST_F(Capabilities, TransferMechanismByOneValueAndItsLifetime)
{
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_XFERMECH, TWTY_UINT32, TWSX_MEMORY));
    EXPECT_FALSE(memoryTransferSelected());

    ASSERT_EQ(TWRC_SUCCESS, setOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY));
    EXPECT_TRUE(memoryTransferSelected());
    EXPECT_EQ(oneValue(TWTY_UINT16, TWSX_MEMORY), ask(MSG_GETCURRENT, ICAP_XFERMECH));
    EXPECT_EQ(oneValue(TWTY_UINT16, TWSX_NATIVE), ask(MSG_GETDEFAULT, ICAP_XFERMECH));

    // The choice outlives the application while the library stays loaded.
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    EXPECT_TRUE(memoryTransferSelected());

    EXPECT_EQ(oneValue(TWTY_UINT16, TWSX_NATIVE), ask(MSG_RESET, ICAP_XFERMECH));
    EXPECT_FALSE(memoryTransferSelected());
}

TEST_F(Capabilities, EnumerationMayOnlyMoveTheCurrentIndex)
{
    auto units = [](uint32_t current, uint32_t def, std::vector<uint16_t> items) {
        Bytes b;
        put16(b, TWTY_UINT16);
        put32(b, static_cast<uint32_t>(items.size()));
        put32(b, current);
        put32(b, def);
        for (uint16_t item : items) put16(b, item);
        return b;
    };
    const std::vector<uint16_t> list = {TWUN_INCHES, TWUN_PIXELS, TWUN_CENTIMETERS};
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_UNITS, TWON_ENUMERATION, units(1, 1, list)));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_UNITS, TWON_ENUMERATION, units(3, 0, list)));
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_UNITS, TWON_ENUMERATION, units(1, 0, {0, 1, 5})));
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_UNITS, TWON_ENUMERATION, units(1, 0, {0, 5})));
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_UNITS, TWON_RANGE, resolutionRange(300)));
    EXPECT_EQ(oneValue(TWTY_UINT16, TWUN_INCHES), ask(MSG_GETCURRENT, ICAP_UNITS));

    ASSERT_EQ(TWRC_SUCCESS, setContainer(ICAP_UNITS, TWON_ENUMERATION, units(2, 0, list)));
    EXPECT_EQ(oneValue(TWTY_UINT16, TWUN_CENTIMETERS), ask(MSG_GETCURRENT, ICAP_UNITS));
    ASSERT_EQ(TWRC_SUCCESS, setOneValue(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS));
    EXPECT_EQ(oneValue(TWTY_UINT16, TWUN_PIXELS), ask(MSG_GETCURRENT, ICAP_UNITS));
    EXPECT_EQ(oneValue(TWTY_UINT16, TWUN_INCHES), ask(MSG_RESET, ICAP_UNITS));
}

TEST_F(Capabilities, ContainersAreReadOnlyWithinTheirBlock)
{
    // Declares three items but its block ends after the header.
    Bytes truncated;
    put16(truncated, TWTY_UINT16);
    put32(truncated, 3);
    put32(truncated, 1);
    put32(truncated, 0);
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_UNITS, TWON_ENUMERATION, truncated));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_XFERMECH, TWON_ONEVALUE, Bytes{TWTY_UINT16, 0, TWSX_MEMORY}));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_BITDEPTH, TWON_ONEVALUE, Bytes{TWTY_UINT16, 0}));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_FALSE(memoryTransferSelected());

    TW_CAPABILITY noContainer = {ICAP_XFERMECH, TWON_ONEVALUE, nullptr};
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_CAPABILITY, MSG_SET, &noContainer));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
}

TEST_F(Capabilities, FixedOneValuesAcceptOnlyTheirValue)
{
    EXPECT_EQ(TWRC_FAILURE, setOneValue(CAP_XFERCOUNT, TWTY_INT16, 1));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_SUCCESS, setOneValue(CAP_XFERCOUNT, TWTY_INT16, 0xFFFF));
    EXPECT_EQ(TWRC_SUCCESS, setOneValue(ICAP_BITDEPTH, TWTY_UINT16, 8));
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_BITDEPTH, TWTY_UINT16, 24));
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_BITORDER, TWTY_UINT32, 1));
    EXPECT_EQ(TWRC_SUCCESS, setOneValue(ICAP_BITORDER, TWTY_UINT16, TWBO_MSBFIRST));
    EXPECT_EQ(TWRC_FAILURE, setContainer(ICAP_BITDEPTH, TWON_ENUMERATION, enumeration(0, {8})));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(oneValue(TWTY_INT16, 0xFFFFFFFF), ask(MSG_RESET, CAP_XFERCOUNT));
}

TEST_F(Capabilities, WhatCannotBeNegotiatedIsABadCapWithoutABox)
{
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 150));
    EXPECT_EQ(TWCC_BADCAP, session.conditionCode());
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_COMPRESSION, TWTY_UINT16, TWCP_NONE));
    EXPECT_EQ(TWCC_BADCAP, session.conditionCode());
    for (TW_UINT16 message : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET})
        EXPECT_EQ(TWCC_BADCAP, failureOf(message, CAP_INDICATORS));
    EXPECT_EQ(TWCC_BADCAP, failureOf(MSG_RESET, ICAP_PLANARCHUNKY));
    EXPECT_EQ(TWCC_BADCAP, failureOf(MSG_RESET, CAP_SUPPORTEDCAPS));
    EXPECT_TRUE(boxes.boxes().empty());
}

// MSG_QUERYSUPPORT must say exactly what the other five messages do: each flag is checked
// against the message itself, which fails with TWCC_BADCAP exactly when its flag is missing.
TEST_F(Capabilities, QuerySupportNamesExactlyTheMessagesEachCapabilityAnswers)
{
    constexpr TW_UINT32 GETS = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    constexpr TW_UINT32 ALL = GETS | TWQC_SET | TWQC_RESET;
    const struct {
        TW_UINT16 cap;
        TW_UINT32 flags;
    } table[] = {
        {CAP_XFERCOUNT, ALL},        {ICAP_COMPRESSION, GETS},          {ICAP_PIXELTYPE, ALL},
        {ICAP_UNITS, ALL},           {ICAP_XFERMECH, ALL},              {CAP_SUPPORTEDCAPS, TWQC_GET},
        {CAP_UICONTROLLABLE, TWQC_GET}, {ICAP_PHYSICALWIDTH, GETS},     {ICAP_PHYSICALHEIGHT, GETS},
        {ICAP_XRESOLUTION, GETS | TWQC_RESET}, {ICAP_YRESOLUTION, GETS | TWQC_RESET},
        {ICAP_BITORDER, ALL},        {ICAP_PIXELFLAVOR, GETS},          {ICAP_PLANARCHUNKY, GETS},
        {ICAP_BITDEPTH, ALL},
    };
    const struct {
        TW_UINT16 message;
        TW_UINT32 flag;
    } messages[] = {
        {MSG_GET, TWQC_GET}, {MSG_GETCURRENT, TWQC_GETCURRENT}, {MSG_GETDEFAULT, TWQC_GETDEFAULT},
        {MSG_SET, TWQC_SET}, {MSG_RESET, TWQC_RESET},
    };
    MessageBoxRecorder boxes;
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::Message() << std::hex << row.cap);
        TW_UINT16 conType = 0;
        EXPECT_EQ(oneValue(TWTY_INT32, row.flags), ask(MSG_QUERYSUPPORT, row.cap, &conType));
        EXPECT_EQ(TWON_ONEVALUE, conType);
        for (const auto& m : messages) {
            // MSG_SET without a container: a capability that takes values refuses it as a bad value.
            TW_CAPABILITY capability = {row.cap, TWON_ONEVALUE, nullptr};
            const TW_UINT16 rc = session.control(DAT_CAPABILITY, m.message, &capability);
            if (capability.hContainer) GlobalFree(capability.hContainer);
            const bool badCap = rc != TWRC_SUCCESS && session.conditionCode() == TWCC_BADCAP;
            EXPECT_EQ((row.flags & m.flag) != 0, !badCap) << "message " << m.message;
        }
    }
    static_assert(sizeof table / sizeof table[0] == 15, "every supported capability");
    // The query is allowed wherever MSG_GET is, and knows nothing of other capabilities.
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    EXPECT_EQ(oneValue(TWTY_INT32, TWQC_GET), ask(MSG_QUERYSUPPORT, CAP_SUPPORTEDCAPS));
    EXPECT_EQ(TWCC_BADCAP, failureOf(MSG_QUERYSUPPORT, CAP_INDICATORS));
    EXPECT_TRUE(boxes.boxes().empty());
    ASSERT_EQ(TWRC_SUCCESS, session.disable());
}

TEST_F(Capabilities, StatesAndUnknownMessagesAreReportedInABox)
{
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    EXPECT_EQ(TWCC_SEQERROR, failureOf(MSG_RESET, ICAP_UNITS));
    // Queries still work while enabled.
    EXPECT_EQ(oneValue(TWTY_UINT16, TWSX_NATIVE), ask(MSG_GETCURRENT, ICAP_XFERMECH));
    EXPECT_EQ(TWCC_BADPROTOCOL, failureOf(MSG_GETFIRST, ICAP_XFERMECH));

    ASSERT_EQ(3u, boxes.boxes().size());
    EXPECT_EQ("Twain error.\nGeneral failure in DAT_CAPS.  DG DAT MSG is out of expected sequence.(b)",
              boxes.boxes()[0].text);
    EXPECT_EQ("Twain error.\nGeneral failure in DAT_CAPS.  Bad protocol error.(9)", boxes.boxes()[2].text);
    EXPECT_FALSE(memoryTransferSelected());

    ASSERT_EQ(TWRC_SUCCESS, session.disable());
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    boxes.clear();
    EXPECT_EQ(TWCC_SEQERROR, failureOf(MSG_GET, ICAP_XFERMECH));
    EXPECT_EQ(1u, boxes.boxes().size());
}

}  // namespace
