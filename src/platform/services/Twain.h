#pragma once
// The image acquisition interface the scanner component talks to: the records and codes of
// the TWAIN standard (protocol 1.9), the source manager's single entry point, and the few
// system services the component needs around it (memory handles, a hidden message window,
// loading the source manager).
//
// On Linux the source manager is our own, answering from the system's scanner library
// (SANE, opened at run time): see TwainSourceManager.cpp. Records are packed to 2 bytes as
// the standard lays them out, so identities compare byte for byte.
#include <cstdint>
#include <functional>
#include <string>

using TW_INT8 = int8_t;
using TW_INT16 = int16_t;
using TW_INT32 = int32_t;
using TW_UINT8 = uint8_t;
using TW_UINT16 = uint16_t;
using TW_UINT32 = uint32_t;
using TW_BOOL = uint16_t;
using TW_HANDLE = void*;
using TW_MEMREF = void*;
using TW_STR32 = char[34];
using TW_STR255 = char[256];

#pragma pack(push, 2)
struct TW_FIX32 {
  TW_INT16 Whole;
  TW_UINT16 Frac;
};
struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};
struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};
struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};
struct TW_EVENT {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
};
struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  TW_UINT32 EOJ;
};
struct TW_SETUPMEMXFER {
  TW_UINT32 MinBufSize;
  TW_UINT32 MaxBufSize;
  TW_UINT32 Preferred;
};
struct TW_SETUPFILEXFER {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
};
struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth;
  TW_INT32 ImageLength;
  TW_INT16 SamplesPerPixel;
  TW_INT16 BitsPerSample[8];
  TW_INT16 BitsPerPixel;
  TW_BOOL Planar;
  TW_INT16 PixelType;
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
struct TW_STATUS {
  TW_UINT16 ConditionCode;
  TW_UINT16 Reserved;
};
struct TW_CAPABILITY {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
};
struct TW_ONEVALUE {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
};
// Followed by NumItems items of ItemType's size.
struct TW_ENUMERATION {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
  TW_UINT8 ItemList[1];
};
struct TW_ELEMENT8 {
  TW_UINT8 Index;
  TW_UINT8 Channel1;
  TW_UINT8 Channel2;
  TW_UINT8 Channel3;
};
struct TW_PALETTE8 {
  TW_UINT16 NumColors;
  TW_UINT16 PaletteType;
  TW_ELEMENT8 Colors[256];
};
struct TW_FRAME {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
};
struct TW_IMAGELAYOUT {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber;
  TW_UINT32 PageNumber;
  TW_UINT32 FrameNumber;
};
#pragma pack(pop)
static_assert(sizeof(TW_IDENTITY) == 156, "identities are compared as 156-byte records");
static_assert(sizeof(TW_IMAGEINFO) == 42);
using pTW_IDENTITY = TW_IDENTITY*;

// Data groups.
constexpr TW_UINT32 DG_CONTROL = 0x0001, DG_IMAGE = 0x0002, DG_AUDIO = 0x0004;
// Data argument types.
constexpr TW_UINT16 DAT_NULL = 0x0000, DAT_CAPABILITY = 0x0001, DAT_EVENT = 0x0002, DAT_IDENTITY = 0x0003,
                    DAT_PARENT = 0x0004, DAT_PENDINGXFERS = 0x0005, DAT_SETUPMEMXFER = 0x0006,
                    DAT_SETUPFILEXFER = 0x0007, DAT_STATUS = 0x0008, DAT_USERINTERFACE = 0x0009,
                    DAT_IMAGEINFO = 0x0101, DAT_IMAGELAYOUT = 0x0102, DAT_IMAGEMEMXFER = 0x0103,
                    DAT_IMAGENATIVEXFER = 0x0104, DAT_IMAGEFILEXFER = 0x0105, DAT_PALETTE8 = 0x010a;
// Messages.
constexpr TW_UINT16 MSG_NULL = 0x0000, MSG_GET = 0x0001, MSG_GETCURRENT = 0x0002, MSG_GETDEFAULT = 0x0003,
                    MSG_GETFIRST = 0x0004, MSG_GETNEXT = 0x0005, MSG_SET = 0x0006, MSG_RESET = 0x0007,
                    MSG_XFERREADY = 0x0101, MSG_CLOSEDSREQ = 0x0102, MSG_CLOSEDSOK = 0x0103,
                    MSG_DEVICEEVENT = 0x0104, MSG_OPENDSM = 0x0301, MSG_CLOSEDSM = 0x0302, MSG_OPENDS = 0x0401,
                    MSG_CLOSEDS = 0x0402, MSG_USERSELECT = 0x0403, MSG_DISABLEDS = 0x0501,
                    MSG_ENABLEDS = 0x0502, MSG_PROCESSEVENT = 0x0601, MSG_ENDXFER = 0x0701;
// Return codes.
constexpr TW_UINT16 TWRC_SUCCESS = 0, TWRC_FAILURE = 1, TWRC_CHECKSTATUS = 2, TWRC_CANCEL = 3, TWRC_DSEVENT = 4,
                    TWRC_NOTDSEVENT = 5, TWRC_XFERDONE = 6, TWRC_ENDOFLIST = 7;
// Condition codes.
constexpr TW_UINT16 TWCC_SUCCESS = 0, TWCC_BUMMER = 1, TWCC_LOWMEMORY = 2, TWCC_NODS = 3,
                    TWCC_OPERATIONERROR = 5, TWCC_BADCAP = 6, TWCC_BADPROTOCOL = 9, TWCC_BADVALUE = 10,
                    TWCC_SEQERROR = 11, TWCC_BADDEST = 12, TWCC_CAPUNSUPPORTED = 13, TWCC_CAPBADOPERATION = 14,
                    TWCC_CAPSEQERROR = 15, TWCC_DENIED = 16, TWCC_PAPERJAM = 20, TWCC_CHECKDEVICEONLINE = 23,
                    TWCC_INTERLOCK = 24, TWCC_NOMEDIA = 29;
// Container types.
constexpr TW_UINT16 TWON_ARRAY = 3, TWON_ENUMERATION = 4, TWON_ONEVALUE = 5, TWON_RANGE = 6,
                    TWON_DONTCARE16 = 0xFFFF;
constexpr TW_UINT32 TWON_DONTCARE32 = 0xFFFFFFFFu;
// Item types.
constexpr TW_UINT16 TWTY_INT8 = 0x0000, TWTY_INT16 = 0x0001, TWTY_INT32 = 0x0002, TWTY_UINT8 = 0x0003,
                    TWTY_UINT16 = 0x0004, TWTY_UINT32 = 0x0005, TWTY_BOOL = 0x0006, TWTY_FIX32 = 0x0007,
                    TWTY_FRAME = 0x0008, TWTY_STR32 = 0x0009, TWTY_STR64 = 0x000a, TWTY_STR128 = 0x000b,
                    TWTY_STR255 = 0x000c, TWTY_STR1024 = 0x000d, TWTY_UNI512 = 0x000e;
// Capabilities.
constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101, ICAP_UNITS = 0x0102, ICAP_XFERMECH = 0x0103,
                    ICAP_PHYSICALWIDTH = 0x1111, ICAP_PHYSICALHEIGHT = 0x1112, ICAP_XRESOLUTION = 0x1118,
                    ICAP_YRESOLUTION = 0x1119, ICAP_PIXELFLAVOR = 0x111f, ICAP_BITDEPTH = 0x112b;
// Pixel types, units, pixel flavours, compression, memory flags.
constexpr TW_INT16 TWPT_BW = 0, TWPT_GRAY = 1, TWPT_RGB = 2, TWPT_PALETTE = 3;
constexpr TW_UINT16 TWUN_INCHES = 0, TWUN_CENTIMETERS = 1, TWUN_PIXELS = 5;
constexpr TW_UINT16 TWPF_CHOCOLATE = 0, TWPF_VANILLA = 1;
constexpr TW_UINT16 TWCP_NONE = 0;
constexpr TW_UINT32 TWMF_APPOWNS = 0x0001, TWMF_POINTER = 0x0008;
constexpr TW_UINT16 TWSX_NATIVE = 0, TWSX_FILE = 1, TWSX_MEMORY = 2;

// The source manager's entry point.
using DSMENTRYPROC = TW_UINT16 (*)(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT,
                                   TW_UINT16 MSG, TW_MEMREF pData);

// ---------------------------------------------------------------------------
// Memory handles (what the source manager hands over in capability containers).
// Lock gives the block's address, Unlock does nothing, Free releases it.
// ---------------------------------------------------------------------------
TW_HANDLE TwainAllocHandle(size_t bytes);  // zeroed; nullptr when it cannot be had
void* TwainLockHandle(TW_HANDLE handle);
void TwainUnlockHandle(TW_HANDLE handle);
void TwainFreeHandle(TW_HANDLE handle);
// Bytes of the block (0 for nullptr).
size_t TwainHandleSize(TW_HANDLE handle);

// ---------------------------------------------------------------------------
// Hidden message windows. A window is a number; messages posted to it (from any thread)
// reach its procedure later on the GUI thread, in the order they were posted. A message
// posted to a window that is destroyed before its turn is dropped.
// ---------------------------------------------------------------------------
using TWindowHandle = uintptr_t;
struct TWindowMsg {
  TWindowHandle hwnd = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  uint32_t time = 0;
  int32_t ptX = 0, ptY = 0;
};
using TWindowProc = std::function<intptr_t(TWindowHandle hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam)>;
// The first private message number (the system's WM_APP).
constexpr uint32_t WM_APP = 0x8000;
TWindowHandle CreateMessageWindow(TWindowProc proc);
void DestroyMessageWindow(TWindowHandle hwnd);
bool IsMessageWindow(TWindowHandle hwnd);
// False when the window does not exist.
bool PostWindowMessage(TWindowHandle hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---------------------------------------------------------------------------
// The source manager "library". Loading it opens the system's scanner library: the file
// named by KIVO2_SANE_LIBRARY when that is set, else libsane as the dynamic loader finds it
// in the system's library folders (never the current folder or the temporary folder).
// ---------------------------------------------------------------------------
using TTwainLibrary = void*;
// nullptr when the scanner library is missing or lacks a function it needs; why, when given,
// then says what was missing.
TTwainLibrary TwainLoadLibrary(std::string* why = nullptr);
// The source manager's entry point of a loaded library (nullptr for nullptr).
DSMENTRYPROC TwainGetEntry(TTwainLibrary library);
// Releases a loaded library; false when it was not loaded.
bool TwainFreeLibrary(TTwainLibrary library);
