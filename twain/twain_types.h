// TWAIN 1.x declarations as the protocol lays them out on Windows: every structure is packed
// on 2-byte boundaries; handles and pointers (TW_HANDLE, TW_MEMREF) are 32 bits on 32-bit
// Windows and 64 bits on 64-bit Windows, every other field keeps its width (TW_UINT32 is 32
// bits on both). Only what this source, its tests and its client tool use is declared here.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

typedef uint8_t  TW_UINT8;
typedef int16_t  TW_INT16;
typedef uint16_t TW_UINT16;
typedef int32_t  TW_INT32;
typedef uint32_t TW_UINT32;
typedef uint16_t TW_BOOL;
typedef void*    TW_MEMREF;
typedef HANDLE   TW_HANDLE;
typedef char     TW_STR32[34];

#pragma pack(push, 2)

struct TW_FIX32 {
    TW_INT16  Whole;
    TW_UINT16 Frac;
};

struct TW_VERSION {
    TW_UINT16 MajorNum;
    TW_UINT16 MinorNum;
    TW_UINT16 Language;
    TW_UINT16 Country;
    TW_STR32  Info;
};

struct TW_IDENTITY {
    TW_UINT32  Id;
    TW_VERSION Version;
    TW_UINT16  ProtocolMajor;
    TW_UINT16  ProtocolMinor;
    TW_UINT32  SupportedGroups;
    TW_STR32   Manufacturer;
    TW_STR32   ProductFamily;
    TW_STR32   ProductName;
};

struct TW_ONEVALUE {
    TW_UINT16 ItemType;
    TW_UINT32 Item;
};

struct TW_RANGE {
    TW_UINT16 ItemType;
    TW_UINT32 MinValue;
    TW_UINT32 MaxValue;
    TW_UINT32 StepSize;
    TW_UINT32 DefaultValue;
    TW_UINT32 CurrentValue;
};

struct TW_ENUMERATION {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT32 CurrentIndex;
    TW_UINT32 DefaultIndex;
    TW_UINT8  ItemList[1];
};

struct TW_ARRAY {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT8  ItemList[1];
};

struct TW_CAPABILITY {
    TW_UINT16 Cap;
    TW_UINT16 ConType;
    TW_HANDLE hContainer;
};

struct TW_USERINTERFACE {
    TW_BOOL   ShowUI;
    TW_BOOL   ModalUI;
    TW_HANDLE hParent;
};

struct TW_STATUS {
    TW_UINT16 ConditionCode;
    TW_UINT16 Reserved;
};

struct TW_PENDINGXFERS {
    TW_UINT16 Count;
    TW_UINT32 Reserved;
};

struct TW_SETUPMEMXFER {
    TW_UINT32 MinBufSize;
    TW_UINT32 MaxBufSize;
    TW_UINT32 Preferred;
};

struct TW_EVENT {
    TW_MEMREF pEvent;
    TW_UINT16 TWMessage;
};

struct TW_FRAME {
    TW_FIX32 Left;
    TW_FIX32 Top;
    TW_FIX32 Right;
    TW_FIX32 Bottom;
};

struct TW_IMAGELAYOUT {
    TW_FRAME  Frame;
    TW_UINT32 DocumentNumber;
    TW_UINT32 PageNumber;
    TW_UINT32 FrameNumber;
};

struct TW_IMAGEINFO {
    TW_FIX32  XResolution;
    TW_FIX32  YResolution;
    TW_INT32  ImageWidth;
    TW_INT32  ImageLength;
    TW_INT16  SamplesPerPixel;
    TW_INT16  BitsPerSample[8];
    TW_INT16  BitsPerPixel;
    TW_BOOL   Planar;
    TW_INT16  PixelType;
    TW_UINT16 Compression;
};

struct TW_MEMORY {
    TW_UINT32 Flags;
    TW_UINT32 Length;
    TW_MEMREF TheMem;
};

struct TW_IMAGEMEMXFER {
    TW_UINT16 Compression;
    TW_UINT32 BytesPerRow;
    TW_UINT32 Columns;
    TW_UINT32 Rows;
    TW_UINT32 XOffset;
    TW_UINT32 YOffset;
    TW_UINT32 BytesWritten;
    TW_MEMORY Memory;
};

#pragma pack(pop)

static_assert(sizeof(TW_FIX32) == 4, "TW_FIX32");
static_assert(sizeof(TW_VERSION) == 42, "TW_VERSION");
static_assert(sizeof(TW_IDENTITY) == 156, "TW_IDENTITY");
static_assert(sizeof(TW_ONEVALUE) == 6, "TW_ONEVALUE");
static_assert(sizeof(TW_RANGE) == 22, "TW_RANGE");
static_assert(sizeof(TW_ENUMERATION) == 16 && offsetof(TW_ENUMERATION, ItemList) == 14, "TW_ENUMERATION");
static_assert(sizeof(TW_ARRAY) == 8 && offsetof(TW_ARRAY, ItemList) == 6, "TW_ARRAY");
static_assert(sizeof(TW_STATUS) == 4, "TW_STATUS");
static_assert(sizeof(TW_PENDINGXFERS) == 6, "TW_PENDINGXFERS");
static_assert(sizeof(TW_SETUPMEMXFER) == 12, "TW_SETUPMEMXFER");
static_assert(sizeof(TW_IMAGELAYOUT) == 28, "TW_IMAGELAYOUT");
static_assert(sizeof(TW_IMAGEINFO) == 42, "TW_IMAGEINFO");
// The structures that hold a handle or a pointer, which 64-bit Windows widens to 64 bits.
#ifdef _WIN64
static_assert(sizeof(TW_CAPABILITY) == 12 && offsetof(TW_CAPABILITY, hContainer) == 4, "TW_CAPABILITY");
static_assert(sizeof(TW_USERINTERFACE) == 12 && offsetof(TW_USERINTERFACE, hParent) == 4, "TW_USERINTERFACE");
static_assert(sizeof(TW_EVENT) == 10 && offsetof(TW_EVENT, TWMessage) == 8, "TW_EVENT");
static_assert(sizeof(TW_MEMORY) == 16 && offsetof(TW_MEMORY, TheMem) == 8, "TW_MEMORY");
static_assert(sizeof(TW_IMAGEMEMXFER) == 42 && offsetof(TW_IMAGEMEMXFER, Memory) == 26, "TW_IMAGEMEMXFER");
#else
static_assert(sizeof(TW_CAPABILITY) == 8, "TW_CAPABILITY");
static_assert(sizeof(TW_USERINTERFACE) == 8, "TW_USERINTERFACE");
static_assert(sizeof(TW_EVENT) == 6, "TW_EVENT");
static_assert(sizeof(TW_MEMORY) == 12, "TW_MEMORY");
static_assert(sizeof(TW_IMAGEMEMXFER) == 38, "TW_IMAGEMEMXFER");
#endif

// The container sizes that this source writes: header bytes before the item list.
constexpr TW_UINT32 TW_ENUMERATION_HEADER = 14;
constexpr TW_UINT32 TW_ARRAY_HEADER = 6;

// Data groups
constexpr TW_UINT32 DG_CONTROL = 0x0001;
constexpr TW_UINT32 DG_IMAGE   = 0x0002;

// Data argument types
enum : TW_UINT16 {
    DAT_NULL            = 0x0000,
    DAT_CAPABILITY      = 0x0001,
    DAT_EVENT           = 0x0002,
    DAT_IDENTITY        = 0x0003,
    DAT_PARENT          = 0x0004,
    DAT_PENDINGXFERS    = 0x0005,
    DAT_SETUPMEMXFER    = 0x0006,
    DAT_SETUPFILEXFER   = 0x0007,
    DAT_STATUS          = 0x0008,
    DAT_USERINTERFACE   = 0x0009,
    DAT_XFERGROUP       = 0x000A,
    DAT_IMAGEINFO       = 0x0101,
    DAT_IMAGELAYOUT     = 0x0102,
    DAT_IMAGEMEMXFER    = 0x0103,
    DAT_IMAGENATIVEXFER = 0x0104,
    DAT_IMAGEFILEXFER   = 0x0105,
    DAT_CIECOLOR        = 0x0106,
    DAT_GRAYRESPONSE    = 0x0107,
    DAT_RGBRESPONSE     = 0x0108,
    DAT_JPEGCOMPRESSION = 0x0109,
    DAT_PALETTE8        = 0x010A,
};

// Messages
enum : TW_UINT16 {
    MSG_NULL           = 0x0000,
    MSG_GET            = 0x0001,
    MSG_GETCURRENT     = 0x0002,
    MSG_GETDEFAULT     = 0x0003,
    MSG_GETFIRST       = 0x0004,
    MSG_GETNEXT        = 0x0005,
    MSG_SET            = 0x0006,
    MSG_RESET          = 0x0007,
    MSG_QUERYSUPPORT   = 0x0008,
    MSG_GETHELP        = 0x0009,  // MSG_GETHELP to MSG_SETCONSTRAINT: capability messages of TWAIN 2
    MSG_GETLABEL       = 0x000A,
    MSG_GETLABELENUM   = 0x000B,
    MSG_SETCONSTRAINT  = 0x000C,
    MSG_XFERREADY      = 0x0101,
    MSG_CLOSEDSREQ     = 0x0102,
    MSG_CLOSEDSOK      = 0x0103,
    MSG_OPENDSM        = 0x0301,
    MSG_CLOSEDSM       = 0x0302,
    MSG_OPENDS         = 0x0401,
    MSG_CLOSEDS        = 0x0402,
    MSG_USERSELECT     = 0x0403,
    MSG_DISABLEDS      = 0x0501,
    MSG_ENABLEDS       = 0x0502,
    MSG_ENABLEDSUIONLY = 0x0503,
    MSG_PROCESSEVENT   = 0x0601,
    MSG_ENDXFER        = 0x0701,
    MSG_STOPFEEDER     = 0x0702,
    MSG_RESETALL       = 0x0A01,
};

// What MSG_QUERYSUPPORT reports: the capability messages a source answers.
enum : TW_UINT32 {
    TWQC_GET = 0x0001, TWQC_SET = 0x0002, TWQC_GETDEFAULT = 0x0004, TWQC_GETCURRENT = 0x0008, TWQC_RESET = 0x0010,
};

// Return codes and condition codes are different types so that one cannot be passed as the other.
enum class ReturnCode : TW_UINT16 {
    Success     = 0,
    Failure     = 1,
    CheckStatus = 2,
    Cancel      = 3,
    DSEvent     = 4,
    NotDSEvent  = 5,
    XferDone    = 6,
    EndOfList   = 7,
};

enum class ConditionCode : TW_UINT16 {
    Success        = 0,
    Bummer         = 1,
    LowMemory      = 2,
    NoDS           = 3,
    MaxConnections = 4,
    OperationError = 5,
    BadCap         = 6,
    BadProtocol    = 9,
    BadValue       = 10,
    SeqError       = 11,
};

// Plain values for code that speaks to a source manager (the client tool, the tests).
enum : TW_UINT16 {
    TWRC_SUCCESS = 0, TWRC_FAILURE = 1, TWRC_CHECKSTATUS = 2, TWRC_CANCEL = 3,
    TWRC_DSEVENT = 4, TWRC_NOTDSEVENT = 5, TWRC_XFERDONE = 6, TWRC_ENDOFLIST = 7,
};
enum : TW_UINT16 {
    TWCC_SUCCESS = 0, TWCC_BUMMER = 1, TWCC_LOWMEMORY = 2, TWCC_NODS = 3, TWCC_MAXCONNECTIONS = 4,
    TWCC_OPERATIONERROR = 5, TWCC_BADCAP = 6, TWCC_BADPROTOCOL = 9, TWCC_BADVALUE = 10, TWCC_SEQERROR = 11,
    TWCC_BADDEST = 12,  // a source manager's answer when the destination is not an open source
};

// Container types
enum : TW_UINT16 {
    TWON_ARRAY       = 3,
    TWON_ENUMERATION = 4,
    TWON_ONEVALUE    = 5,
    TWON_RANGE       = 6,
};
constexpr TW_UINT16 TWON_DONTCARE16 = 0xFFFF;  // ConType of a capability request: any container
constexpr TW_UINT32 TWON_DONTCARE32 = 0xFFFFFFFF;

// Item types
enum : TW_UINT16 {
    TWTY_INT8 = 0, TWTY_INT16 = 1, TWTY_INT32 = 2, TWTY_UINT8 = 3, TWTY_UINT16 = 4,
    TWTY_UINT32 = 5, TWTY_BOOL = 6, TWTY_FIX32 = 7, TWTY_FRAME = 8, TWTY_STR32 = 9,
};

// Capabilities
enum : TW_UINT16 {
    CAP_XFERCOUNT       = 0x0001,
    ICAP_COMPRESSION    = 0x0100,
    ICAP_PIXELTYPE      = 0x0101,
    ICAP_UNITS          = 0x0102,
    ICAP_XFERMECH       = 0x0103,
    CAP_SUPPORTEDCAPS   = 0x1005,
    CAP_INDICATORS      = 0x100B,
    CAP_UICONTROLLABLE  = 0x100E,
    ICAP_PHYSICALWIDTH  = 0x1111,
    ICAP_PHYSICALHEIGHT = 0x1112,
    ICAP_XRESOLUTION    = 0x1118,
    ICAP_YRESOLUTION    = 0x1119,
    ICAP_BITORDER       = 0x111C,
    ICAP_PIXELFLAVOR    = 0x111F,
    ICAP_PLANARCHUNKY   = 0x1120,
    ICAP_BITDEPTH       = 0x112B,
};

// Capability values
enum : TW_UINT16 {
    TWCP_NONE = 0,
    TWPT_RGB = 2,
    TWUN_INCHES = 0, TWUN_CENTIMETERS = 1, TWUN_PIXELS = 5,
    TWSX_NATIVE = 0, TWSX_FILE = 1, TWSX_MEMORY = 2,
    TWBO_MSBFIRST = 1,
    TWPF_CHOCOLATE = 0,
    TWPC_CHUNKY = 0,
};

// Identity values
enum : TW_UINT16 { TWLG_USA = 13, TWCY_USA = 1 };

// Memory transfer flags
enum : TW_UINT32 { TWMF_APPOWNS = 0x0001, TWMF_POINTER = 0x0008, TWMF_HANDLE = 0x0010 };

// The data source's entry point and the source manager's, as TWAIN prescribes them for 32-bit Windows.
typedef TW_UINT16(WINAPI* DSENTRYPROC)(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                       TW_MEMREF data);
typedef TW_UINT16(WINAPI* DSMENTRYPROC)(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                                        TW_UINT16 msg, TW_MEMREF data);

inline TW_FIX32 toFix32(double value)
{
    const int32_t scaled = static_cast<int32_t>(value * 65536.0 + (value < 0 ? -0.5 : 0.5));
    return TW_FIX32{static_cast<TW_INT16>(scaled >> 16), static_cast<TW_UINT16>(scaled & 0xFFFF)};
}

inline double fromFix32(TW_FIX32 fix)
{
    return fix.Whole + fix.Frac / 65536.0;
}

inline TW_UINT32 fix32Bits(TW_FIX32 fix)
{
    return static_cast<TW_UINT16>(fix.Whole) | (static_cast<TW_UINT32>(fix.Frac) << 16);
}
