// Plain-word descriptions of capability containers and TWAIN codes.
#include "capability_text.h"

#include <cstdio>
#include <cstring>

namespace {

struct NamedValue {
    TW_UINT16   code;
    const char* name;
};

const NamedValue kCapabilityNames[] = {
    {CAP_XFERCOUNT, "CAP_XFERCOUNT"},
    {ICAP_COMPRESSION, "ICAP_COMPRESSION"},
    {ICAP_PIXELTYPE, "ICAP_PIXELTYPE"},
    {ICAP_UNITS, "ICAP_UNITS"},
    {ICAP_XFERMECH, "ICAP_XFERMECH"},
    {CAP_SUPPORTEDCAPS, "CAP_SUPPORTEDCAPS"},
    {CAP_INDICATORS, "CAP_INDICATORS"},
    {CAP_UICONTROLLABLE, "CAP_UICONTROLLABLE"},
    {ICAP_PHYSICALWIDTH, "ICAP_PHYSICALWIDTH"},
    {ICAP_PHYSICALHEIGHT, "ICAP_PHYSICALHEIGHT"},
    {ICAP_XRESOLUTION, "ICAP_XRESOLUTION"},
    {ICAP_YRESOLUTION, "ICAP_YRESOLUTION"},
    {ICAP_BITORDER, "ICAP_BITORDER"},
    {ICAP_PIXELFLAVOR, "ICAP_PIXELFLAVOR"},
    {ICAP_PLANARCHUNKY, "ICAP_PLANARCHUNKY"},
    {ICAP_BITDEPTH, "ICAP_BITDEPTH"},
};

// Names of the values of the capabilities whose values are codes rather than numbers.
struct CapabilityValueName {
    TW_UINT16   cap;
    TW_UINT16   value;
    const char* name;
};

const CapabilityValueName kValueNames[] = {
    {ICAP_COMPRESSION, TWCP_NONE, "NONE"},
    {ICAP_PIXELTYPE, 0, "BW"},
    {ICAP_PIXELTYPE, 1, "GRAY"},
    {ICAP_PIXELTYPE, TWPT_RGB, "RGB"},
    {ICAP_PIXELTYPE, 3, "PALETTE"},
    {ICAP_UNITS, TWUN_INCHES, "INCHES"},
    {ICAP_UNITS, TWUN_CENTIMETERS, "CENTIMETERS"},
    {ICAP_UNITS, 2, "PICAS"},
    {ICAP_UNITS, 3, "POINTS"},
    {ICAP_UNITS, 4, "TWIPS"},
    {ICAP_UNITS, TWUN_PIXELS, "PIXELS"},
    {ICAP_XFERMECH, TWSX_NATIVE, "NATIVE"},
    {ICAP_XFERMECH, TWSX_FILE, "FILE"},
    {ICAP_XFERMECH, TWSX_MEMORY, "MEMORY"},
    {ICAP_BITORDER, 0, "LSBFIRST"},
    {ICAP_BITORDER, TWBO_MSBFIRST, "MSBFIRST"},
    {ICAP_PIXELFLAVOR, TWPF_CHOCOLATE, "CHOCOLATE"},
    {ICAP_PIXELFLAVOR, 1, "VANILLA"},
    {ICAP_PLANARCHUNKY, TWPC_CHUNKY, "CHUNKY"},
    {ICAP_PLANARCHUNKY, 1, "PLANAR"},
};

const NamedValue kConditionCodes[] = {
    {TWCC_SUCCESS, "TWCC_SUCCESS"},
    {TWCC_BUMMER, "TWCC_BUMMER"},
    {TWCC_LOWMEMORY, "TWCC_LOWMEMORY"},
    {TWCC_NODS, "TWCC_NODS"},
    {TWCC_MAXCONNECTIONS, "TWCC_MAXCONNECTIONS"},
    {TWCC_OPERATIONERROR, "TWCC_OPERATIONERROR"},
    {TWCC_BADCAP, "TWCC_BADCAP"},
    {TWCC_BADPROTOCOL, "TWCC_BADPROTOCOL"},
    {TWCC_BADVALUE, "TWCC_BADVALUE"},
    {TWCC_SEQERROR, "TWCC_SEQERROR"},
    {TWCC_BADDEST, "TWCC_BADDEST"},
};

const NamedValue kReturnCodes[] = {
    {TWRC_SUCCESS, "TWRC_SUCCESS"},
    {TWRC_FAILURE, "TWRC_FAILURE"},
    {TWRC_CHECKSTATUS, "TWRC_CHECKSTATUS"},
    {TWRC_CANCEL, "TWRC_CANCEL"},
    {TWRC_DSEVENT, "TWRC_DSEVENT"},
    {TWRC_NOTDSEVENT, "TWRC_NOTDSEVENT"},
    {TWRC_XFERDONE, "TWRC_XFERDONE"},
    {TWRC_ENDOFLIST, "TWRC_ENDOFLIST"},
};

template <size_t N>
const char* findName(const NamedValue (&table)[N], TW_UINT16 code)
{
    for (const NamedValue& entry : table)
        if (entry.code == code)
            return entry.name;
    return nullptr;
}

std::string codeText(const char* name, TW_UINT16 code)
{
    char text[48];
    std::snprintf(text, sizeof text, "%s (%u)", name ? name : "unknown code", code);
    return text;
}

// Bytes one item of a type takes in an enumeration or array; 0 for types this tool cannot show.
size_t itemSize(TW_UINT16 itemType)
{
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
        return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        return 4;
    default:
        return 0;
    }
}

// Reads one item of `itemType` from unaligned memory as the 32 bits a TW_ONEVALUE would hold.
TW_UINT32 readItem(const TW_UINT8* at, TW_UINT16 itemType)
{
    TW_UINT32 value = 0;
    std::memcpy(&value, at, itemSize(itemType));
    return value;
}

std::string valueText(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 bits)
{
    char text[48];
    switch (itemType) {
    case TWTY_INT8:
        std::snprintf(text, sizeof text, "%d", static_cast<int8_t>(bits));
        return text;
    case TWTY_INT16:
        std::snprintf(text, sizeof text, "%d", static_cast<int16_t>(bits));
        return text;
    case TWTY_INT32:
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<int32_t>(bits)));
        return text;
    case TWTY_BOOL:
        return static_cast<TW_UINT16>(bits) ? "TRUE" : "FALSE";
    case TWTY_FIX32: {
        TW_FIX32 fix;
        fix.Whole = static_cast<TW_INT16>(bits & 0xFFFF);
        fix.Frac = static_cast<TW_UINT16>(bits >> 16);
        std::snprintf(text, sizeof text, "%.2f", fromFix32(fix));
        return text;
    }
    default:
        break;
    }
    if (cap == CAP_SUPPORTEDCAPS && itemType == TWTY_UINT16)
        return capabilityName(static_cast<TW_UINT16>(bits));
    if (itemType == TWTY_UINT16)
        for (const CapabilityValueName& entry : kValueNames)
            if (entry.cap == cap && entry.value == bits)
                return entry.name;
    std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(bits));
    return text;
}

std::string unknownType(TW_UINT16 itemType)
{
    char text[64];
    std::snprintf(text, sizeof text, "items of type %u, which this tool does not show", itemType);
    return text;
}

std::string describeOneValue(TW_UINT16 cap, const TW_UINT8* data, size_t size)
{
    if (size < sizeof(TW_ONEVALUE))
        return "a malformed single value (block too small)";
    TW_ONEVALUE one;
    std::memcpy(&one, data, sizeof one);
    if (itemSize(one.ItemType) == 0)
        return "a single value of " + unknownType(one.ItemType);
    return valueText(cap, one.ItemType, one.Item);
}

std::string describeRange(TW_UINT16 cap, const TW_UINT8* data, size_t size)
{
    if (size < sizeof(TW_RANGE))
        return "a malformed range (block too small)";
    TW_RANGE range;
    std::memcpy(&range, data, sizeof range);
    if (itemSize(range.ItemType) == 0)
        return "a range of " + unknownType(range.ItemType);
    return "range " + valueText(cap, range.ItemType, range.MinValue) + " to " +
           valueText(cap, range.ItemType, range.MaxValue) + " step " +
           valueText(cap, range.ItemType, range.StepSize) + "; current " +
           valueText(cap, range.ItemType, range.CurrentValue) + ", default " +
           valueText(cap, range.ItemType, range.DefaultValue);
}

// Item lists are checked against the block before any item is read: a source that claims more
// items than it sent must not make this tool read past the end of the block.
bool itemsFit(size_t header, TW_UINT32 count, size_t each, size_t size)
{
    return size >= header && (size - header) / each >= count;
}

std::string itemList(TW_UINT16 cap, TW_UINT16 itemType, const TW_UINT8* items, TW_UINT32 count)
{
    std::string text;
    const size_t each = itemSize(itemType);
    for (TW_UINT32 i = 0; i < count; ++i) {
        if (i)
            text += ", ";
        text += valueText(cap, itemType, readItem(items + i * each, itemType));
    }
    return text;
}

std::string describeEnumeration(TW_UINT16 cap, const TW_UINT8* data, size_t size)
{
    if (size < TW_ENUMERATION_HEADER)
        return "a malformed enumeration (block too small)";
    TW_ENUMERATION head;
    std::memcpy(&head, data, TW_ENUMERATION_HEADER);
    const size_t each = itemSize(head.ItemType);
    if (each == 0)
        return "an enumeration of " + unknownType(head.ItemType);
    if (!itemsFit(TW_ENUMERATION_HEADER, head.NumItems, each, size))
        return "a malformed enumeration (claims more items than the block holds)";
    if (head.NumItems == 0)
        return "an empty enumeration";
    const TW_UINT8* items = data + TW_ENUMERATION_HEADER;
    std::string text = "one of " + itemList(cap, head.ItemType, items, head.NumItems);
    const auto indexText = [&](TW_UINT32 index) {
        if (index >= head.NumItems)
            return std::string("an index outside the list (") + std::to_string(index) + ")";
        return valueText(cap, head.ItemType, readItem(items + index * each, head.ItemType));
    };
    return text + "; current " + indexText(head.CurrentIndex) + ", default " + indexText(head.DefaultIndex);
}

std::string describeArray(TW_UINT16 cap, const TW_UINT8* data, size_t size)
{
    if (size < TW_ARRAY_HEADER)
        return "a malformed list (block too small)";
    TW_ARRAY head;
    std::memcpy(&head, data, TW_ARRAY_HEADER);
    const size_t each = itemSize(head.ItemType);
    if (each == 0)
        return "a list of " + unknownType(head.ItemType);
    if (!itemsFit(TW_ARRAY_HEADER, head.NumItems, each, size))
        return "a malformed list (claims more items than the block holds)";
    return "list of " + std::to_string(head.NumItems) + ": " +
           itemList(cap, head.ItemType, data + TW_ARRAY_HEADER, head.NumItems);
}

}  // namespace

std::string capabilityName(TW_UINT16 cap)
{
    if (const char* name = findName(kCapabilityNames, cap))
        return name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", cap);
    return text;
}

std::string describeContainer(TW_UINT16 cap, TW_UINT16 conType, const void* data, size_t size)
{
    if (!data)
        return "no container";
    const TW_UINT8* bytes = static_cast<const TW_UINT8*>(data);
    switch (conType) {
    case TWON_ONEVALUE:
        return describeOneValue(cap, bytes, size);
    case TWON_RANGE:
        return describeRange(cap, bytes, size);
    case TWON_ENUMERATION:
        return describeEnumeration(cap, bytes, size);
    case TWON_ARRAY:
        return describeArray(cap, bytes, size);
    default:
        return "a container of unknown type " + std::to_string(conType);
    }
}

std::string conditionCodeName(TW_UINT16 code)
{
    return codeText(findName(kConditionCodes, code), code);
}

std::string returnCodeName(TW_UINT16 code)
{
    return codeText(findName(kReturnCodes, code), code);
}
