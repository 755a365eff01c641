#include "twain/capabilities.h"

#include "win32/global_memory.h"

#include <cstring>

namespace {

const char CAPS_FAILURE[] = "General failure in DAT_CAPS.  ";

struct EnumerationDescriptor {
    TW_UINT16        itemType;
    TW_UINT32        numItems;
    TW_UINT32        currentIndex;
    TW_UINT32        defaultIndex;
    const TW_UINT16* items;
};

enum class Shape { OneValue, Enumeration, Range, Array };

// Which messages a capability answers; any other gives TWCC_BADCAP. The bits are TWAIN's own
// TWQC_ flags, so MSG_QUERYSUPPORT reports exactly what the other messages do.
enum : uint8_t {
    ANSWERS_GET     = TWQC_GET,
    ANSWERS_CURRENT = TWQC_GETCURRENT,
    ANSWERS_DEFAULT = TWQC_GETDEFAULT,
    ANSWERS_SET     = TWQC_SET,
    ANSWERS_RESET   = TWQC_RESET,
    ANSWERS_GETS    = ANSWERS_GET | ANSWERS_CURRENT | ANSWERS_DEFAULT,
    ANSWERS_ALL     = ANSWERS_GETS | ANSWERS_SET | ANSWERS_RESET,
};

struct CapabilityDescriptor {
    TW_UINT16              id;
    Shape                  shape;
    uint8_t                answers;
    TW_UINT16              itemType;     // one value: its type
    TW_UINT32              value;        // one value: its value, extended to 32 bits; the only value MSG_SET takes
    EnumerationDescriptor* enumeration;
    TW_RANGE*              range;
};

const TW_UINT16 COMPRESSION_ITEMS[] = {TWCP_NONE};
const TW_UINT16 PIXELTYPE_ITEMS[]   = {TWPT_RGB};
const TW_UINT16 UNITS_ITEMS[]       = {TWUN_INCHES, TWUN_PIXELS, TWUN_CENTIMETERS};
const TW_UINT16 XFERMECH_ITEMS[]    = {TWSX_NATIVE, TWSX_MEMORY};
const TW_UINT16 PIXELFLAVOR_ITEMS[] = {TWPF_CHOCOLATE};

EnumerationDescriptor g_compression = {TWTY_UINT16, 1, 0, 0, COMPRESSION_ITEMS};
EnumerationDescriptor g_pixelType   = {TWTY_UINT16, 1, 0, 0, PIXELTYPE_ITEMS};
EnumerationDescriptor g_units       = {TWTY_UINT16, 3, 0, 0, UNITS_ITEMS};
EnumerationDescriptor g_xferMech    = {TWTY_UINT16, 2, 0, 0, XFERMECH_ITEMS};
EnumerationDescriptor g_pixelFlavor = {TWTY_UINT16, 1, 0, 0, PIXELFLAVOR_ITEMS};

TW_RANGE defaultResolutionRange()
{
    return TW_RANGE{TWTY_FIX32, fix32Bits(toFix32(40.0)), fix32Bits(toFix32(600.0)), fix32Bits(toFix32(1.0)),
                    fix32Bits(toFix32(300.0)), fix32Bits(toFix32(300.0))};
}

TW_RANGE g_xResolution = defaultResolutionRange();
TW_RANGE g_yResolution = defaultResolutionRange();

const TW_UINT16 SUPPORTED_CAPS[] = {
    CAP_SUPPORTEDCAPS, CAP_XFERCOUNT, ICAP_COMPRESSION, ICAP_PHYSICALHEIGHT, ICAP_PHYSICALWIDTH,
    ICAP_PIXELFLAVOR,  ICAP_PIXELTYPE, ICAP_UNITS,      ICAP_XFERMECH,       ICAP_XRESOLUTION,
    ICAP_YRESOLUTION,  ICAP_BITDEPTH,  ICAP_BITORDER,   ICAP_PLANARCHUNKY,   CAP_UICONTROLLABLE,
};
constexpr TW_UINT32 SUPPORTED_CAP_COUNT = sizeof SUPPORTED_CAPS / sizeof SUPPORTED_CAPS[0];
static_assert(SUPPORTED_CAP_COUNT == 15, "the source supports fifteen capabilities");

const CapabilityDescriptor CAPABILITIES[] = {
    {CAP_XFERCOUNT,       Shape::OneValue,    ANSWERS_ALL,  TWTY_INT16,  0xFFFFFFFF, nullptr, nullptr},
    {ICAP_COMPRESSION,    Shape::Enumeration, ANSWERS_GETS, 0, 0, &g_compression, nullptr},
    {ICAP_PIXELTYPE,      Shape::Enumeration, ANSWERS_ALL,  0, 0, &g_pixelType, nullptr},
    {ICAP_UNITS,          Shape::Enumeration, ANSWERS_ALL,  0, 0, &g_units, nullptr},
    {ICAP_XFERMECH,       Shape::Enumeration, ANSWERS_ALL,  0, 0, &g_xferMech, nullptr},
    {CAP_SUPPORTEDCAPS,   Shape::Array,       ANSWERS_GET,  TWTY_UINT16, 0, nullptr, nullptr},
    {CAP_UICONTROLLABLE,  Shape::OneValue,    ANSWERS_GET,  TWTY_BOOL,   FALSE, nullptr, nullptr},
    {ICAP_PHYSICALWIDTH,  Shape::OneValue,    ANSWERS_GETS, TWTY_FIX32,  fix32Bits(TW_FIX32{8, 0x87AF}), nullptr, nullptr},
    {ICAP_PHYSICALHEIGHT, Shape::OneValue,    ANSWERS_GETS, TWTY_FIX32,  fix32Bits(TW_FIX32{14, 0}), nullptr, nullptr},
    {ICAP_XRESOLUTION,    Shape::Range,       ANSWERS_GETS | ANSWERS_RESET, 0, 0, nullptr, &g_xResolution},
    {ICAP_YRESOLUTION,    Shape::Range,       ANSWERS_GETS | ANSWERS_RESET, 0, 0, nullptr, &g_yResolution},
    {ICAP_BITORDER,       Shape::OneValue,    ANSWERS_ALL,  TWTY_UINT16, TWBO_MSBFIRST, nullptr, nullptr},
    {ICAP_PIXELFLAVOR,    Shape::Enumeration, ANSWERS_GETS, 0, 0, &g_pixelFlavor, nullptr},
    {ICAP_PLANARCHUNKY,   Shape::OneValue,    ANSWERS_GETS, TWTY_UINT16, TWPC_CHUNKY, nullptr, nullptr},
    {ICAP_BITDEPTH,       Shape::OneValue,    ANSWERS_ALL,  TWTY_UINT16, 8, nullptr, nullptr},
};

const CapabilityDescriptor* findCapability(TW_UINT16 id)
{
    for (const CapabilityDescriptor& descriptor : CAPABILITIES)
        if (descriptor.id == id) return &descriptor;
    return nullptr;
}

// ---- Container builders: each makes a new movable block that the application will own ----

HGLOBAL buildOneValue(TW_UINT16 itemType, TW_UINT32 item)
{
    HGLOBAL block = globalAllocate(sizeof(TW_ONEVALUE));
    GlobalLockGuard<TW_ONEVALUE> container(block);
    if (!container) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    container->ItemType = itemType;
    container->Item = item;
    return block;
}

HGLOBAL buildRange(const TW_RANGE& range)
{
    HGLOBAL block = globalAllocate(sizeof(TW_RANGE));
    GlobalLockGuard<TW_RANGE> container(block);
    if (!container) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    *container.get() = range;
    return block;
}

HGLOBAL buildEnumeration(const EnumerationDescriptor& e)
{
    const SIZE_T size = sizeof(TW_ENUMERATION) - 1 + e.numItems * sizeof(TW_UINT16);
    HGLOBAL block = globalAllocate(size);
    GlobalLockGuard<TW_ENUMERATION> container(block);
    if (!container) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    container->ItemType = e.itemType;
    container->NumItems = e.numItems;
    container->CurrentIndex = e.currentIndex;
    container->DefaultIndex = e.defaultIndex;
    std::memcpy(container->ItemList, e.items, e.numItems * sizeof(TW_UINT16));
    return block;
}

HGLOBAL buildArray(TW_UINT16 itemType, const TW_UINT16* items, TW_UINT32 count)
{
    const SIZE_T size = sizeof(TW_ARRAY) - 1 + count * sizeof(TW_UINT16);
    HGLOBAL block = globalAllocate(size);
    GlobalLockGuard<TW_ARRAY> container(block);
    if (!container) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    container->ItemType = itemType;
    container->NumItems = count;
    std::memcpy(container->ItemList, items, count * sizeof(TW_UINT16));
    return block;
}

ReturnCode handOver(TW_CAPABILITY* cap, HGLOBAL container, TW_UINT16 conType)
{
    if (!container) return failQuietly(ConditionCode::LowMemory);
    cap->ConType = conType;
    cap->hContainer = container;
    return ReturnCode::Success;
}

// ---- Messages ----

ReturnCode getFull(const CapabilityDescriptor& d, TW_CAPABILITY* cap)
{
    switch (d.shape) {
    case Shape::OneValue:    return handOver(cap, buildOneValue(d.itemType, d.value), TWON_ONEVALUE);
    case Shape::Enumeration: return handOver(cap, buildEnumeration(*d.enumeration), TWON_ENUMERATION);
    case Shape::Range:       return handOver(cap, buildRange(*d.range), TWON_RANGE);
    case Shape::Array:
        return handOver(cap, buildArray(d.itemType, SUPPORTED_CAPS, SUPPORTED_CAP_COUNT), TWON_ARRAY);
    }
    return failQuietly(ConditionCode::BadCap);
}

// MSG_GETCURRENT (current true) and MSG_GETDEFAULT: always a single value.
ReturnCode getSingle(const CapabilityDescriptor& d, TW_CAPABILITY* cap, bool current)
{
    switch (d.shape) {
    case Shape::OneValue:
        return handOver(cap, buildOneValue(d.itemType, d.value), TWON_ONEVALUE);
    case Shape::Enumeration: {
        const EnumerationDescriptor& e = *d.enumeration;
        const TW_UINT16 item = e.items[current ? e.currentIndex : e.defaultIndex];
        return handOver(cap, buildOneValue(e.itemType, item), TWON_ONEVALUE);
    }
    case Shape::Range: {
        const TW_RANGE& r = *d.range;
        return handOver(cap, buildOneValue(r.ItemType, current ? r.CurrentValue : r.DefaultValue), TWON_ONEVALUE);
    }
    case Shape::Array:
        break;
    }
    return failQuietly(ConditionCode::BadCap);
}

// The value of a one-value item as wide as its type says; the other bits are the application's noise.
TW_UINT32 itemValue(TW_UINT16 itemType, TW_UINT32 item)
{
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:  return item & 0xFF;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:   return item & 0xFFFF;
    default:          return item;
    }
}

// The application can only choose a new current index over an unchanged list.
bool acceptEnumeration(EnumerationDescriptor& e, const BYTE* bytes, SIZE_T size)
{
    if (size < TW_ENUMERATION_HEADER) return false;
    TW_ENUMERATION header;
    std::memcpy(&header, bytes, TW_ENUMERATION_HEADER);
    if (header.ItemType != e.itemType || header.DefaultIndex != e.defaultIndex ||
        header.CurrentIndex >= e.numItems || header.NumItems != e.numItems)
        return false;
    if (size < TW_ENUMERATION_HEADER + SIZE_T(e.numItems) * sizeof(TW_UINT16)) return false;
    for (TW_UINT32 i = 0; i < e.numItems; ++i) {
        TW_UINT16 item;
        std::memcpy(&item, bytes + TW_ENUMERATION_HEADER + i * sizeof(TW_UINT16), sizeof item);
        if (item != e.items[i]) return false;
    }
    e.currentIndex = header.CurrentIndex;
    return true;
}

bool acceptOneValueForEnumeration(EnumerationDescriptor& e, const BYTE* bytes, SIZE_T size)
{
    if (size < sizeof(TW_ONEVALUE)) return false;
    TW_ONEVALUE one;
    std::memcpy(&one, bytes, sizeof one);
    if (one.ItemType != e.itemType) return false;
    for (TW_UINT32 i = 0; i < e.numItems; ++i) {
        if (itemValue(one.ItemType, one.Item) == e.items[i]) {
            e.currentIndex = i;
            return true;
        }
    }
    return false;
}

bool acceptFixedOneValue(const CapabilityDescriptor& d, TW_UINT16 conType, const BYTE* bytes, SIZE_T size)
{
    if (conType != TWON_ONEVALUE || size < sizeof(TW_ONEVALUE)) return false;
    TW_ONEVALUE one;
    std::memcpy(&one, bytes, sizeof one);
    return one.ItemType == d.itemType && itemValue(one.ItemType, one.Item) == itemValue(d.itemType, d.value);
}

ReturnCode set(const CapabilityDescriptor& d, TW_CAPABILITY* cap)
{
    // The container is the application's: read it only within its block.
    GlobalLockGuard<BYTE> container(cap->hContainer);
    if (!container) return failQuietly(ConditionCode::BadValue);

    bool accepted = false;
    if (d.shape == Shape::Enumeration) {
        if (cap->ConType == TWON_ENUMERATION)
            accepted = acceptEnumeration(*d.enumeration, container.get(), container.size());
        else if (cap->ConType == TWON_ONEVALUE)
            accepted = acceptOneValueForEnumeration(*d.enumeration, container.get(), container.size());
    } else if (d.shape == Shape::OneValue) {
        accepted = acceptFixedOneValue(d, cap->ConType, container.get(), container.size());
    }
    return accepted ? ReturnCode::Success : failQuietly(ConditionCode::BadValue);
}

ReturnCode reset(const CapabilityDescriptor& d, TW_CAPABILITY* cap)
{
    switch (d.shape) {
    case Shape::Enumeration:
        d.enumeration->currentIndex = 0;
        return handOver(cap, buildOneValue(d.enumeration->itemType, d.enumeration->items[0]), TWON_ONEVALUE);
    case Shape::Range:
        d.range->CurrentValue = d.range->DefaultValue;
        return handOver(cap, buildOneValue(d.range->ItemType, d.range->DefaultValue), TWON_ONEVALUE);
    case Shape::OneValue:
        return handOver(cap, buildOneValue(d.itemType, d.value), TWON_ONEVALUE);
    case Shape::Array:
        break;
    }
    return failQuietly(ConditionCode::BadCap);
}

// Applications of today ask this of every capability they show, whatever protocol the source speaks.
ReturnCode querySupport(const CapabilityDescriptor& d, TW_CAPABILITY* cap)
{
    return handOver(cap, buildOneValue(TWTY_INT32, d.answers), TWON_ONEVALUE);
}

struct MessageRule {
    TW_UINT16 message;
    uint8_t   answerBit;     // 0: answered for every supported capability
    bool      onlyWhenOpen;  // MSG_SET and MSG_RESET only before the source is enabled
};

const MessageRule MESSAGE_RULES[] = {
    {MSG_GET,          ANSWERS_GET,     false},
    {MSG_GETCURRENT,   ANSWERS_CURRENT, false},
    {MSG_GETDEFAULT,   ANSWERS_DEFAULT, false},
    {MSG_SET,          ANSWERS_SET,     true},
    {MSG_RESET,        ANSWERS_RESET,   true},
    {MSG_QUERYSUPPORT, 0,               false},
};

}  // namespace

ReturnCode capabilityOperation(const DispatchRecord& call)
{
    const MessageRule* rule = nullptr;
    for (const MessageRule& r : MESSAGE_RULES)
        if (r.message == call.message) rule = &r;
    if (!rule) return failWithReport(CAPS_FAILURE, ConditionCode::BadProtocol);

    const bool stateAllowed = rule->onlyWhenOpen
                                  ? g_source.state == STATE_OPEN
                                  : stateIsOneOf({STATE_OPEN, STATE_ENABLED, STATE_XFER_READY});
    if (!stateAllowed) return failWithReport(CAPS_FAILURE, ConditionCode::SeqError);

    auto* cap = static_cast<TW_CAPABILITY*>(call.data);
    const CapabilityDescriptor* d = findCapability(cap->Cap);
    if (!d || (rule->answerBit && !(d->answers & rule->answerBit))) return failQuietly(ConditionCode::BadCap);

    switch (call.message) {
    case MSG_GET:          return getFull(*d, cap);
    case MSG_GETCURRENT:   return getSingle(*d, cap, true);
    case MSG_GETDEFAULT:   return getSingle(*d, cap, false);
    case MSG_SET:          return set(*d, cap);
    case MSG_QUERYSUPPORT: return querySupport(*d, cap);
    default:               return reset(*d, cap);
    }
}

bool memoryTransferSelected()
{
    return g_xferMech.items[g_xferMech.currentIndex] == TWSX_MEMORY;
}

void resetResolutionCapabilities()
{
    g_xResolution = defaultResolutionRange();
    g_yResolution = defaultResolutionRange();
}

void setImageResolution(TW_FIX32 x, TW_FIX32 y)
{
    g_xResolution.CurrentValue = fix32Bits(x);
    g_yResolution.CurrentValue = fix32Bits(y);
}

void setImageUnits(TW_UINT16 units)
{
    for (TW_UINT32 i = 0; i < g_units.numItems; ++i)
        if (g_units.items[i] == units) g_units.currentIndex = i;
}

static TW_FIX32 fix32FromBits(TW_UINT32 bits)
{
    return TW_FIX32{static_cast<TW_INT16>(bits & 0xFFFF), static_cast<TW_UINT16>(bits >> 16)};
}

TW_FIX32 currentXResolution()
{
    return fix32FromBits(g_xResolution.CurrentValue);
}

TW_FIX32 currentYResolution()
{
    return fix32FromBits(g_yResolution.CurrentValue);
}
