// Our own declarations of the host's binary plug-in interface for filter modules,
// written from the published record layouts. Layout-compatible on i686 and x86_64;
// the static_asserts below pin every offset the module touches.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw::sdk {

using Boolean = uint8_t;  // not the Win32 BOOL
using OSErr = int16_t;
using OSType = uint32_t;
using Fixed = int32_t;  // 16.16
using Ptr = char*;
using Handle = char**;

constexpr OSType FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 |
           uint32_t(uint8_t(d));
}

struct Point {
    int16_t v, h;  // vertical first
};
struct Rect {
    int16_t top, left, bottom, right;
};
struct VPoint {
    int32_t v, h;
};
struct VRect {
    int32_t top, left, bottom, right;
};
struct RGBColor {
    uint16_t red, green, blue;
};
struct PlugInMonitor {
    Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// Callbacks: cdecl on i686 (the default calling convention), Microsoft x64 on x86_64.
using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32_t done, int32_t total);
using HostProc = void (*)(int16_t selector, intptr_t* data);
using ProcessEventProc = void (*)(void* event);
struct PSPixelMap;
using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow,
                                    int32_t dstCol, void* platformContext);
using AdvanceStateProc = OSErr (*)();
using GetPropertyProc = OSErr (*)(uint32_t signature, uint32_t key, int32_t index,
                                  intptr_t* simpleProperty, Handle* complexProperty);
using ColorServicesProc = OSErr (*)(void* info);

// ---- handle procedures (natural alignment) ----
using NewPIHandleProc = Handle (*)(int32_t size);
using DisposePIHandleProc = void (*)(Handle h);
using GetPIHandleSizeProc = int32_t (*)(Handle h);
using SetPIHandleSizeProc = OSErr (*)(Handle h, int32_t newSize);
using LockPIHandleProc = Ptr (*)(Handle h, Boolean moveHigh);
using UnlockPIHandleProc = void (*)(Handle h);
using RecoverSpaceProc = void (*)(int32_t size);
using DisposeRegularHandleProc = void (*)(Handle h);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandleProc disposeRegularHandleProc;
};
constexpr int16_t kCurrentHandleProcsVersion = 1;

struct PlatformData {
    intptr_t hwnd;  // may be 0
};

struct AboutRecord {
    void* platformData;
    void* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// ---- scripting descriptors (natural alignment) ----
using PIReadDescriptor = void*;
using PIWriteDescriptor = void*;
using DescriptorKeyID = uint32_t;
using DescriptorTypeID = uint32_t;
using DescriptorUnitID = uint32_t;

struct PIDescriptorSimpleReference {
    uint32_t desiredClass;
    uint32_t keyForm;
    struct {
        unsigned char name[256];
        int32_t index;
        uint32_t type;
        uint32_t value;
    } keyData;
};

struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    PIReadDescriptor (*openReadDescriptorProc)(Handle descriptor, DescriptorKeyID* keyArray);
    OSErr (*closeReadDescriptorProc)(PIReadDescriptor);
    Boolean (*getKeyProc)(PIReadDescriptor, DescriptorKeyID* key, DescriptorTypeID* type,
                          int32_t* flags);
    OSErr (*getIntegerProc)(PIReadDescriptor, int32_t*);
    OSErr (*getFloatProc)(PIReadDescriptor, double*);
    OSErr (*getUnitFloatProc)(PIReadDescriptor, DescriptorUnitID*, double*);
    OSErr (*getBooleanProc)(PIReadDescriptor, Boolean*);
    OSErr (*getTextProc)(PIReadDescriptor, Handle*);
    OSErr (*getAliasProc)(PIReadDescriptor, Handle*);
    OSErr (*getEnumeratedProc)(PIReadDescriptor, uint32_t*);
    OSErr (*getClassProc)(PIReadDescriptor, uint32_t*);
    OSErr (*getSimpleReferenceProc)(PIReadDescriptor, PIDescriptorSimpleReference*);
    OSErr (*getObjectProc)(PIReadDescriptor, uint32_t*, Handle*);
    OSErr (*getCountProc)(PIReadDescriptor, uint32_t*);
    OSErr (*getStringProc)(PIReadDescriptor, unsigned char (*)[256]);
    OSErr (*getPinnedIntegerProc)(PIReadDescriptor, int32_t, int32_t, int32_t*);
    OSErr (*getPinnedFloatProc)(PIReadDescriptor, const double*, const double*, double*);
    OSErr (*getPinnedUnitFloatProc)(PIReadDescriptor, const double*, const double*,
                                    DescriptorUnitID*, double*);
};
constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
constexpr int16_t kReadDescriptorProcCount = 18;

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    PIWriteDescriptor (*openWriteDescriptorProc)();
    OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor, Handle* descriptorOut);
    OSErr (*putIntegerProc)(PIWriteDescriptor, DescriptorKeyID, int32_t);
    OSErr (*putFloatProc)(PIWriteDescriptor, DescriptorKeyID, const double*);
    OSErr (*putUnitFloatProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const double*);
    OSErr (*putBooleanProc)(PIWriteDescriptor, DescriptorKeyID, Boolean);
    OSErr (*putTextProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
    OSErr (*putAliasProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
    OSErr (*putEnumeratedProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, uint32_t);
    OSErr (*putClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
    OSErr (*putSimpleReferenceProc)(PIWriteDescriptor, DescriptorKeyID,
                                    const PIDescriptorSimpleReference*);
    OSErr (*putObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, Handle);
    OSErr (*putCountProc)(PIWriteDescriptor, DescriptorKeyID, uint32_t);
    OSErr (*putStringProc)(PIWriteDescriptor, DescriptorKeyID, const unsigned char*);
    OSErr (*putScopedClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
    OSErr (*putScopedObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, Handle);
};
constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;
constexpr int16_t kWriteDescriptorProcCount = 16;

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;
    int16_t recordInfo;
    Handle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};
constexpr int16_t kCurrentDescriptorParametersVersion = 0;

enum PlayInfo : int16_t { kPlayDontDisplay = 0, kPlayDisplay = 1, kPlaySilent = 2 };
enum RecordInfo : int16_t { kRecordOptional = 0, kRecordRequired = 1, kRecordNone = 2 };

constexpr DescriptorTypeID kTypeInteger = FourCC('l', 'o', 'n', 'g');
constexpr DescriptorTypeID kTypeFloat = FourCC('d', 'o', 'u', 'b');
constexpr DescriptorTypeID kTypeUnitFloat = FourCC('U', 'n', 't', 'F');
constexpr DescriptorTypeID kTypeBoolean = FourCC('b', 'o', 'o', 'l');
constexpr DescriptorTypeID kTypeNull = FourCC('n', 'u', 'l', 'l');
constexpr DescriptorUnitID kUnitDistance = FourCC('#', 'R', 'l', 't');

// ---- big documents (pack 4) ----
#pragma pack(push, 4)
struct BigDocumentStruct {
    int32_t PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};

// ---- the filter record (pack 4 on both architectures) ----
struct FilterRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point imageSize;
    int16_t planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
    int32_t maxSpace;
    int32_t bufferSpace;
    Rect inRect;
    int16_t inLoPlane;
    int16_t inHiPlane;
    Rect outRect;
    int16_t outLoPlane;
    int16_t outHiPlane;
    void* inData;
    int32_t inRowBytes;
    void* outData;
    int32_t outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32_t maskRowBytes;
    uint8_t backColor[4];
    uint8_t foreColor[4];
    OSType hostSig;
    HostProc hostProc;
    int16_t imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    PlatformData* platformData;
    void* bufferProcs;
    void* resourceProcs;
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16_t wantLayout;
    int16_t filterCase;
    int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    GetPropertyProc getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16_t inputPadding;
    int16_t outputPadding;
    int16_t maskPadding;
    char samplingSupport;
    char reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;
    int16_t inLayerPlanes;
    int16_t inTransparencyMask;
    int16_t inLayerMasks;
    int16_t inInvertedLayerMasks;
    int16_t inNonLayerPlanes;
    int16_t outLayerPlanes;
    int16_t outTransparencyMask;
    int16_t outLayerMasks;
    int16_t outInvertedLayerMasks;
    int16_t outNonLayerPlanes;
    int16_t absLayerPlanes;
    int16_t absTransparencyMask;
    int16_t absLayerMasks;
    int16_t absInvertedLayerMasks;
    int16_t absNonLayerPlanes;
    int16_t inPreDummyPlanes;
    int16_t inPostDummyPlanes;
    int16_t outPreDummyPlanes;
    int16_t outPostDummyPlanes;
    int32_t inColumnBytes;
    int32_t inPlaneBytes;
    int32_t outColumnBytes;
    int32_t outPlaneBytes;
    void* imageServicesProcs;
    void* propertyProcs;
    int16_t inTileHeight;
    int16_t inTileWidth;
    Point inTileOrigin;
    int16_t absTileHeight;
    int16_t absTileWidth;
    Point absTileOrigin;
    int16_t outTileHeight;
    int16_t outTileWidth;
    Point outTileOrigin;
    int16_t maskTileHeight;
    int16_t maskTileWidth;
    Point maskTileOrigin;
    PIDescriptorParameters* descriptorParameters;
    unsigned char (*errorString)[256];
    void* channelPortProcs;
    void* documentInfo;
    void* sSPBasic;
    void* plugInRef;
    int32_t depth;
    Handle iCCprofileData;
    int32_t iCCprofileSize;
    int32_t canUseICCProfiles;
    int32_t hasImageScrap;
    BigDocumentStruct* bigDocumentData;
    PIDescriptorParameters* input3DScene;
    PIDescriptorParameters* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    int32_t iCCWorkingProfileSize;
    int64_t bufferSpace64;
    int64_t maxSpace64;
    Boolean allowOverrangeColors;
    char reserved[45];
};
#pragma pack(pop)

// ---- selectors, result codes, modes ----
enum Selector : int16_t {
    kSelectorAbout = 0,
    kSelectorParameters = 1,
    kSelectorPrepare = 2,
    kSelectorStart = 3,
    kSelectorContinue = 4,
    kSelectorFinish = 5,
};

constexpr OSErr kNoErr = 0;
constexpr OSErr kUserCanceledErr = -128;
constexpr OSErr kMemFullErr = -108;
constexpr OSErr kParamErr = -50;
constexpr OSErr kFilterBadParameters = -30100;
constexpr OSErr kFilterBadMode = -30101;
constexpr OSErr kErrMissingParameter = -1715;

enum ImageMode : int16_t {
    kModeBitmap = 0,
    kModeGrayScale = 1,
    kModeIndexedColor = 2,
    kModeRGBColor = 3,
    kModeCMYKColor = 4,
    kModeHSLColor = 5,
    kModeHSBColor = 6,
    kModeMultichannel = 7,
    kModeDuotone = 8,
    kModeLabColor = 9,
    kModeGray16 = 10,
    kModeRGB48 = 11,
    kModeLab48 = 12,
    kModeCMYK64 = 13,
    kModeDeepMultichannel = 14,
    kModeDuotone16 = 15,
};

constexpr int32_t kFixedOne = 0x10000;

// The entry point every host calls; `data` is a host-kept pointer-sized slot.
using PluginEntry = void (*)(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result);

// ---- layout checks ----
constexpr bool kIs64 = sizeof(void*) == 8;
constexpr size_t Pick(size_t x86, size_t x64) {
    return kIs64 ? x64 : x86;
}

static_assert(sizeof(Point) == 4 && sizeof(Rect) == 8 && sizeof(VRect) == 16);
static_assert(sizeof(RGBColor) == 6 && sizeof(PlugInMonitor) == 40);

static_assert(offsetof(FilterRecord, abortProc) == 4);
static_assert(offsetof(FilterRecord, progressProc) == Pick(8, 12));
static_assert(offsetof(FilterRecord, parameters) == Pick(12, 20));
static_assert(offsetof(FilterRecord, imageSize) == Pick(16, 28));
static_assert(offsetof(FilterRecord, planes) == Pick(20, 32));
static_assert(offsetof(FilterRecord, filterRect) == Pick(22, 34));
static_assert(offsetof(FilterRecord, maxSpace) == Pick(44, 56));
static_assert(offsetof(FilterRecord, bufferSpace) == Pick(48, 60));
static_assert(offsetof(FilterRecord, inRect) == Pick(52, 64));
static_assert(offsetof(FilterRecord, inLoPlane) == Pick(60, 72));
static_assert(offsetof(FilterRecord, inHiPlane) == Pick(62, 74));
static_assert(offsetof(FilterRecord, outRect) == Pick(64, 76));
static_assert(offsetof(FilterRecord, outLoPlane) == Pick(72, 84));
static_assert(offsetof(FilterRecord, outHiPlane) == Pick(74, 86));
static_assert(offsetof(FilterRecord, inData) == Pick(76, 88));
static_assert(offsetof(FilterRecord, inRowBytes) == Pick(80, 96));
static_assert(offsetof(FilterRecord, outData) == Pick(84, 100));
static_assert(offsetof(FilterRecord, outRowBytes) == Pick(88, 108));
static_assert(offsetof(FilterRecord, haveMask) == Pick(93, 113));
static_assert(offsetof(FilterRecord, maskRect) == Pick(96, 116));
static_assert(offsetof(FilterRecord, maskData) == Pick(104, 124));
static_assert(offsetof(FilterRecord, maskRowBytes) == Pick(108, 132));
static_assert(offsetof(FilterRecord, hostSig) == Pick(120, 144));
static_assert(offsetof(FilterRecord, imageMode) == Pick(128, 156));
static_assert(offsetof(FilterRecord, platformData) == Pick(188, 216));
static_assert(offsetof(FilterRecord, displayPixels) == Pick(204, 248));
static_assert(offsetof(FilterRecord, handleProcs) == Pick(208, 256));
static_assert(offsetof(FilterRecord, filterCase) == Pick(216, 268));
static_assert(offsetof(FilterRecord, advanceState) == Pick(224, 280));
static_assert(offsetof(FilterRecord, supportsPadding) == Pick(237, 301));
static_assert(offsetof(FilterRecord, inputPadding) == Pick(238, 302));
static_assert(offsetof(FilterRecord, outputPadding) == Pick(240, 304));
static_assert(offsetof(FilterRecord, maskPadding) == Pick(242, 306));
static_assert(offsetof(FilterRecord, inputRate) == Pick(248, 312));
static_assert(offsetof(FilterRecord, maskRate) == Pick(252, 316));
static_assert(offsetof(FilterRecord, inColumnBytes) == Pick(300, 368));
static_assert(offsetof(FilterRecord, descriptorParameters) == Pick(356, 432));
static_assert(offsetof(FilterRecord, errorString) == Pick(360, 440));
static_assert(offsetof(FilterRecord, sSPBasic) == Pick(372, 464));
static_assert(offsetof(FilterRecord, depth) == Pick(380, 480));
static_assert(offsetof(FilterRecord, bigDocumentData) == Pick(400, 504));
static_assert(offsetof(FilterRecord, createNewLayer) == Pick(412, 528));
static_assert(offsetof(FilterRecord, maxSpace64) == Pick(432, 552));
static_assert(sizeof(FilterRecord) == Pick(488, 608));

static_assert(sizeof(BigDocumentStruct) == 92);
static_assert(offsetof(BigDocumentStruct, filterRect32) == 12);
static_assert(offsetof(BigDocumentStruct, inRect32) == 28);
static_assert(offsetof(BigDocumentStruct, outRect32) == 44);
static_assert(offsetof(BigDocumentStruct, maskRect32) == 60);

static_assert(sizeof(PlatformData) == Pick(4, 8));
static_assert(offsetof(AboutRecord, sSPBasic) == Pick(4, 8));
static_assert(sizeof(AboutRecord) == Pick(256, 272));

static_assert(offsetof(HandleProcs, newProc) == Pick(4, 8));
static_assert(offsetof(HandleProcs, disposeProc) == Pick(8, 16));
static_assert(offsetof(HandleProcs, getSizeProc) == Pick(12, 24));
static_assert(offsetof(HandleProcs, setSizeProc) == Pick(16, 32));
static_assert(offsetof(HandleProcs, lockProc) == Pick(20, 40));
static_assert(offsetof(HandleProcs, unlockProc) == Pick(24, 48));
static_assert(sizeof(HandleProcs) == Pick(36, 72));

static_assert(offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, writeDescriptorProcs) == Pick(12, 16));
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == Pick(16, 24));
static_assert(sizeof(PIDescriptorParameters) == Pick(20, 32));
static_assert(sizeof(ReadDescriptorProcs) == Pick(76, 152));
static_assert(offsetof(ReadDescriptorProcs, getUnitFloatProc) == Pick(24, 48));
static_assert(offsetof(ReadDescriptorProcs, getPinnedUnitFloatProc) == Pick(72, 144));
static_assert(sizeof(WriteDescriptorProcs) == Pick(68, 136));
static_assert(offsetof(WriteDescriptorProcs, putUnitFloatProc) == Pick(20, 40));
static_assert(offsetof(WriteDescriptorProcs, putScopedObjectProc) == Pick(64, 128));
static_assert(sizeof(PIDescriptorSimpleReference) == 276);

}  // namespace fw::sdk
