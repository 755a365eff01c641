// twacquire's descriptions of capability containers. The containers come from whatever source
// the user runs it against, so malformed ones must be described, never read past their end.
#include "capability_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Builds a container byte by byte, packed as TWAIN lays it out.
struct Bytes {
    std::vector<TW_UINT8> data;
    Bytes& u16(TW_UINT16 v) { return put(&v, sizeof v); }
    Bytes& u32(TW_UINT32 v) { return put(&v, sizeof v); }
    Bytes& put(const void* p, size_t n)
    {
        const TW_UINT8* b = static_cast<const TW_UINT8*>(p);
        data.insert(data.end(), b, b + n);
        return *this;
    }
};

std::string describe(TW_UINT16 cap, TW_UINT16 conType, const Bytes& b)
{
    return describeContainer(cap, conType, b.data.data(), b.data.size());
}

TEST(CapabilityText, WellFormedContainersReadInPlainWords)
{
    struct Case {
        const char* what;
        TW_UINT16   cap;
        TW_UINT16   conType;
        Bytes       bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"transfer mechanism enumeration", ICAP_XFERMECH, TWON_ENUMERATION,
         Bytes().u16(TWTY_UINT16).u32(2).u32(1).u32(0).u16(TWSX_NATIVE).u16(TWSX_MEMORY),
         "one of NATIVE, MEMORY; current MEMORY, default NATIVE"},
        {"units with pixels", ICAP_UNITS, TWON_ENUMERATION,
         Bytes().u16(TWTY_UINT16).u32(3).u32(2).u32(0).u16(TWUN_INCHES).u16(TWUN_PIXELS).u16(TWUN_CENTIMETERS),
         "one of INCHES, PIXELS, CENTIMETERS; current CENTIMETERS, default INCHES"},
        {"transfer count -1", CAP_XFERCOUNT, TWON_ONEVALUE, Bytes().u16(TWTY_INT16).u32(0xFFFF), "-1"},
        {"boolean", CAP_UICONTROLLABLE, TWON_ONEVALUE, Bytes().u16(TWTY_BOOL).u32(0), "FALSE"},
        {"fixed point 8.53", ICAP_PHYSICALWIDTH, TWON_ONEVALUE, Bytes().u16(TWTY_FIX32).u32(8 | (0x87AFu << 16)),
         "8.53"},
        {"resolution range", ICAP_XRESOLUTION, TWON_RANGE,
         Bytes().u16(TWTY_FIX32).u32(40).u32(600).u32(1).u32(300).u32(72),
         "range 40.00 to 600.00 step 1.00; current 72.00, default 300.00"},
        {"capability list", CAP_SUPPORTEDCAPS, TWON_ARRAY,
         Bytes().u16(TWTY_UINT16).u32(3).u16(CAP_SUPPORTEDCAPS).u16(ICAP_BITDEPTH).u16(0x8001),
         "list of 3: CAP_SUPPORTEDCAPS, ICAP_BITDEPTH, 0x8001"},
        {"value without a name", ICAP_XFERMECH, TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u32(9), "9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, describe(c.cap, c.conType, c.bytes)) << c.what;
}

TEST(CapabilityText, MalformedContainersAreNamedNotRead)
{
    struct Case {
        const char* what;
        TW_UINT16   conType;
        Bytes       bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"enumeration claiming more items than sent", TWON_ENUMERATION,
         Bytes().u16(TWTY_UINT16).u32(0x40000000).u32(0).u32(0).u16(TWSX_NATIVE),
         "a malformed enumeration (claims more items than the block holds)"},
        {"enumeration whose count would wrap the size", TWON_ENUMERATION,
         Bytes().u16(TWTY_UINT32).u32(0x40000001).u32(0).u32(0).u32(0),
         "a malformed enumeration (claims more items than the block holds)"},
        {"array claiming more items than sent", TWON_ARRAY, Bytes().u16(TWTY_UINT16).u32(2).u16(1),
         "a malformed list (claims more items than the block holds)"},
        {"one value cut short", TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u16(0), "a malformed single value (block too small)"},
        {"range cut short", TWON_RANGE, Bytes().u16(TWTY_FIX32).u32(1).u32(2), "a malformed range (block too small)"},
        {"enumeration header cut short", TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(1),
         "a malformed enumeration (block too small)"},
        {"array header cut short", TWON_ARRAY, Bytes().u16(TWTY_UINT16), "a malformed list (block too small)"},
        {"current index outside the list", TWON_ENUMERATION,
         Bytes().u16(TWTY_UINT16).u32(1).u32(5).u32(0).u16(TWSX_NATIVE),
         "one of NATIVE; current an index outside the list (5), default NATIVE"},
        {"unknown item type", TWON_ENUMERATION, Bytes().u16(TWTY_STR32).u32(1).u32(0).u32(0),
         "an enumeration of items of type 9, which this tool does not show"},
        {"unknown container type", 77, Bytes().u16(TWTY_UINT16).u32(0), "a container of unknown type 77"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, describe(ICAP_XFERMECH, c.conType, c.bytes)) << c.what;
    EXPECT_EQ("no container", describeContainer(ICAP_XFERMECH, TWON_ONEVALUE, nullptr, 6));
}

TEST(CapabilityText, CodesAreNamedWithTheirNumbers)
{
    EXPECT_EQ("TWCC_BADVALUE (10)", conditionCodeName(TWCC_BADVALUE));
    EXPECT_EQ("TWCC_BADDEST (12)", conditionCodeName(TWCC_BADDEST));
    EXPECT_EQ("unknown code (99)", conditionCodeName(99));
    EXPECT_EQ("TWRC_CHECKSTATUS (2)", returnCodeName(TWRC_CHECKSTATUS));
    EXPECT_EQ("ICAP_PLANARCHUNKY", capabilityName(ICAP_PLANARCHUNKY));
}

}  // namespace
