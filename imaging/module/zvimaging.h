/* Flat C interface of the imaging module libzvimaging.so.
 *
 * The program never links against the module: the binding (imaging/) loads it
 * at run time and looks every name below up by itself, so names and
 * signatures here are a contract with already shipped programs; add, never
 * change.
 *
 * Conventions
 * - Every call returns a ZvStatus; 0 is success. Objects are opaque handles
 *   made and freed only through the module.
 * - Paths are UTF-8.
 * - Bitmaps hold 32-bit RGB pixels (ZV_PIXEL_FORMAT_32BPP_RGB, in memory the
 *   32-bit word 0xffRRGGBB per pixel, rows top down).
 * - A bitmap read from a file is decoded lazily: its size and metadata are
 *   read at once, its pixels on first need. A thumbnail taken before that
 *   never decodes the whole picture.
 * - Different objects may be used from different threads at the same time;
 *   one object is used by one thread at a time, except that any number of
 *   threads may read one bitmap (size, thumbnail, drawing it somewhere else).
 *
 * Effects (all neutral at level 0, all applied per pixel on R, G, B in 0..255)
 *
 * Red-eye correction, inside each given rectangle (clipped to the bitmap):
 *   m = (G + B) / 2
 *   w = clamp(R / (m + 1) - 1.5, 0, 1) * min(1, R / 64)
 *   R' = R - w * (R - m)
 *   A saturated red pupil (R well above G and B) takes the level of its green
 *   and blue and so turns dark; skin and neutral tones (R / m below 1.5) stay.
 *
 * Colour balance, levels L in -100..100 for cyan-red (acts on R),
 * magenta-green (G) and yellow-blue (B):
 *   C' = 255 * (C / 255) ^ (2 ^ (-L / 100))
 *   A positive level lifts the channel's mid-tones (more red, green, blue), a
 *   negative one lowers them (more cyan, magenta, yellow); black and white
 *   stay. Equal levels of a grey keep it grey.
 *
 * Brightness and contrast, brightness b in -255..255, contrast c in -100..100:
 *   C' = clamp((C - 128) * (1 + c / 100) + 128 + b, 0, 255)
 *   Contrast stretches around mid grey (c = -100 gives flat grey, c = 100
 *   doubles the distance from mid grey); brightness then shifts all levels.
 *
 * Levels outside their ranges are refused with ZV_INVALID_PARAMETER.
 */
#ifndef ZVIMAGING_H
#define ZVIMAGING_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZVIMAGING_BUILD)
#define ZV_API __attribute__((visibility("default")))
#else
#define ZV_API
#endif

typedef int ZvStatus;
enum {
    ZV_OK = 0,
    ZV_GENERIC_ERROR = 1,
    ZV_INVALID_PARAMETER = 2,
    ZV_OUT_OF_MEMORY = 3,
    ZV_FILE_NOT_FOUND = 10,
    ZV_UNKNOWN_IMAGE_FORMAT = 13,
    ZV_PROPERTY_NOT_FOUND = 19,
    ZV_NOT_INITIALIZED = 18
};

#define ZV_PIXEL_FORMAT_32BPP_RGB 0x22009

/* Interpolation modes for drawing and scaling. */
enum {
    ZV_INTERPOLATION_LOW_QUALITY = 1,    /* nearest neighbour, for speed */
    ZV_INTERPOLATION_BICUBIC = 4,        /* separable cubic, prefiltered when reducing */
    ZV_INTERPOLATION_HQ_BICUBIC = 7      /* the same cubic with full precision weights */
};

/* Quarter turns for zvImageRotateFlip: clockwise, no flipping. */
enum { ZV_ROTATE_90 = 1, ZV_ROTATE_180 = 2, ZV_ROTATE_270 = 3 };

typedef struct ZvGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} ZvGuid;

typedef struct ZvRect {
    int32_t left, top, right, bottom;
} ZvRect;

typedef struct ZvBitmap ZvBitmap;
typedef struct ZvEffect ZvEffect;

typedef struct ZvStartupInput {
    uint32_t version;                 /* 1 */
    void *debugCallback;              /* unused, must be 0 */
    int32_t suppressBackgroundThread; /* accepted, no background thread exists */
    int32_t suppressExternalCodecs;   /* accepted, codecs are built in */
} ZvStartupInput;

/* Pixel access: scan0 points at the first row; stride in bytes. */
typedef struct ZvBitmapData {
    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t pixelFormat;
    void *scan0;
} ZvBitmapData;

enum { ZV_LOCK_READ = 1, ZV_LOCK_WRITE = 2 };

/* Encoders: filenameExtension is a list of patterns separated by ';' such
 * as "*.JPG;*.JPEG". The strings live as long as the module is loaded. */
typedef struct ZvEncoderInfo {
    ZvGuid clsid;
    const char *codecName;
    const char *formatDescription;
    const char *filenameExtension;
    const char *mimeType;
} ZvEncoderInfo;

/* Encoder parameter ZV_ENCODER_QUALITY: one value of ZV_VALUE_TYPE_LONG, 0..100. */
#define ZV_VALUE_TYPE_LONG 4
typedef struct ZvEncoderParameter {
    ZvGuid guid;
    uint32_t numberOfValues;
    uint32_t type;
    void *value;
} ZvEncoderParameter;

typedef struct ZvEncoderParameters {
    uint32_t count;
    ZvEncoderParameter parameter[1];
} ZvEncoderParameters;

/* Metadata property items.
 * EXIF tags: id = (group code << 16) | tag, where group code 0 is IFD0
 * ("Image"), 1 the EXIF IFD ("Photo"), 2 GPS, 3 interoperability, 4 IFD1
 * (the embedded thumbnail) and codes from 16 on are other groups (maker
 * notes) numbered by the module for the life of the process. The type is
 * the TIFF type (1 byte, 2 ascii, 3 short, 4 long, 5 rational, 7 undefined,
 * 9 slong, 10 srational, ...), the value in little-endian order.
 * Two more items carry what is not EXIF: ZV_PROPERTY_IPTC, the IPTC
 * records in their file form, and ZV_PROPERTY_XMP, the XMP packet text. */
#define ZV_PROPERTY_IPTC 0xFFFF0001u
#define ZV_PROPERTY_XMP 0xFFFF0002u

typedef struct ZvPropertyItem {
    uint32_t id;
    uint32_t length; /* bytes of value */
    uint16_t type;
    void *value;
} ZvPropertyItem;

/* Effect parameter records. */
typedef struct ZvRedEyeCorrectionParams {
    uint32_t numberOfAreas;
    ZvRect *areas;
} ZvRedEyeCorrectionParams;

typedef struct ZvBrightnessContrastParams {
    int32_t brightnessLevel; /* -255..255 */
    int32_t contrastLevel;   /* -100..100 */
} ZvBrightnessContrastParams;

typedef struct ZvColorBalanceParams {
    int32_t cyanRed;      /* -100..100 */
    int32_t magentaGreen; /* -100..100 */
    int32_t yellowBlue;   /* -100..100 */
} ZvColorBalanceParams;

/* Identifiers of effects and encoder parameters. */
static const ZvGuid ZV_EFFECT_RED_EYE_CORRECTION =
    {0x74D29D05, 0x69A4, 0x4266, {0x95, 0x49, 0x3C, 0xC5, 0x28, 0x36, 0xB6, 0x32}};
static const ZvGuid ZV_EFFECT_BRIGHTNESS_CONTRAST =
    {0xD3A1DBE1, 0x8EC4, 0x4C17, {0x9F, 0x4C, 0xEA, 0x97, 0xAD, 0x1C, 0x34, 0x3D}};
static const ZvGuid ZV_EFFECT_COLOR_BALANCE =
    {0x537E597D, 0x251E, 0x48DA, {0x96, 0x64, 0x29, 0xCA, 0x49, 0x6B, 0x70, 0xF8}};
static const ZvGuid ZV_ENCODER_QUALITY =
    {0x5A0C2E71, 0x3B8D, 0x4F06, {0x8E, 0x21, 0x7C, 0x44, 0x90, 0xA3, 0x1F, 0x6B}};

/* Start-up and shut-down; every other call needs a start-up first.
 * The token is handed back to zvShutdown. Calls nest. */
ZV_API ZvStatus zvStartup(uintptr_t *token, const ZvStartupInput *input, void *output);
ZV_API void zvShutdown(uintptr_t token);

ZV_API void *zvAlloc(size_t size);
ZV_API void zvFree(void *ptr);

/* Reads size and metadata of a JPEG, TIFF, BMP (or other Qt-readable)
 * file; pixels follow on first need. ZV_FILE_NOT_FOUND, or
 * ZV_UNKNOWN_IMAGE_FORMAT for a file that is no picture. */
ZV_API ZvStatus zvCreateBitmapFromFile(const char *path, ZvBitmap **bitmap);
/* A new bitmap of width x height filled with black; scan0 must be 0 and
 * pixelFormat ZV_PIXEL_FORMAT_32BPP_RGB (stride is ignored). */
ZV_API ZvStatus zvCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride,
                                        int32_t pixelFormat, void *scan0, ZvBitmap **bitmap);
/* Copy of an area (whole area for the full picture) with its metadata. */
ZV_API ZvStatus zvCloneBitmapAreaI(int32_t x, int32_t y, int32_t width, int32_t height,
                                   int32_t pixelFormat, ZvBitmap *source, ZvBitmap **clone);
ZV_API ZvStatus zvDisposeImage(ZvBitmap *bitmap);

ZV_API ZvStatus zvGetImageWidth(ZvBitmap *bitmap, uint32_t *width);
ZV_API ZvStatus zvGetImageHeight(ZvBitmap *bitmap, uint32_t *height);

/* A reduced picture for a box of width x height: at least the picture's size
 * fitted into the box (aspect kept, never more than the picture itself),
 * made the cheapest way: the embedded EXIF thumbnail when it is that large
 * and has the picture's aspect ratio, else a DCT-scaled JPEG decode, else
 * the decoded picture reduced by area averaging. Draw it into the final box
 * with zvDrawImageRectI. Leaves the bitmap undecoded. */
ZV_API ZvStatus zvGetImageThumbnail(ZvBitmap *bitmap, uint32_t width, uint32_t height,
                                    ZvBitmap **thumbnail);

/* For a picture that will only be drawn reduced to width x height: a JPEG
 * bitmap not decoded yet will decode DCT-scaled by the smallest of 1/2, 1/4
 * and 1/8 that divides its width and height and still covers width x
 * height, and takes that size at once (read it again). Any other bitmap
 * stays as it is; ZV_OK either way. */
ZV_API ZvStatus zvReduceBitmapDecode(ZvBitmap *bitmap, uint32_t width, uint32_t height);

ZV_API ZvStatus zvImageRotateFlip(ZvBitmap *bitmap, int32_t rotateFlipType);

/* Draws the whole source scaled into (x, y, width, height) of the target. */
ZV_API ZvStatus zvDrawImageRectI(ZvBitmap *target, ZvBitmap *source, int32_t x, int32_t y,
                                 int32_t width, int32_t height, int32_t interpolationMode);
/* Fills the whole bitmap with 0xAARRGGBB (alpha ignored). */
ZV_API ZvStatus zvGraphicsClear(ZvBitmap *bitmap, uint32_t color);

/* Direct pixel access, e.g. for drawing with a painter; the pointer stays
 * valid until zvUnlockBits. */
ZV_API ZvStatus zvLockBits(ZvBitmap *bitmap, uint32_t flags, ZvBitmapData *data);
ZV_API ZvStatus zvUnlockBits(ZvBitmap *bitmap, ZvBitmapData *data);

ZV_API ZvStatus zvGetImageEncodersSize(uint32_t *count, uint32_t *size);
ZV_API ZvStatus zvGetImageEncoders(uint32_t count, uint32_t size, ZvEncoderInfo *encoders);
/* Encodes with the encoder's format and writes its metadata along. */
ZV_API ZvStatus zvSaveImageToFile(ZvBitmap *bitmap, const char *path, const ZvGuid *encoder,
                                  const ZvEncoderParameters *params);

ZV_API ZvStatus zvGetPropertyCount(ZvBitmap *bitmap, uint32_t *count);
ZV_API ZvStatus zvGetPropertyIdList(ZvBitmap *bitmap, uint32_t count, uint32_t *ids);
/* size: bytes for the ZvPropertyItem and its value, which follows it. */
ZV_API ZvStatus zvGetPropertyItemSize(ZvBitmap *bitmap, uint32_t id, uint32_t *size);
ZV_API ZvStatus zvGetPropertyItem(ZvBitmap *bitmap, uint32_t id, uint32_t size,
                                  ZvPropertyItem *item);
/* Adds or replaces the item. */
ZV_API ZvStatus zvSetPropertyItem(ZvBitmap *bitmap, const ZvPropertyItem *item);

ZV_API ZvStatus zvCreateEffect(ZvGuid id, ZvEffect **effect);
/* size must be the record's size; for red-eye the record plus numberOfAreas
 * rectangles. */
ZV_API ZvStatus zvSetEffectParameters(ZvEffect *effect, const void *params, uint32_t size);
/* roi 0 = whole bitmap; no auxiliary data is produced. */
ZV_API ZvStatus zvBitmapApplyEffect(ZvBitmap *bitmap, ZvEffect *effect, const ZvRect *roi,
                                    int32_t useAuxData, void **auxData, int32_t *auxDataSize);
ZV_API ZvStatus zvDeleteEffect(ZvEffect *effect);

#ifdef __cplusplus
}
#endif

#endif
