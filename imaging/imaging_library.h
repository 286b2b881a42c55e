#pragma once

#include "imaging/module/zvimaging.h"

#include <QString>

#include <cstdint>
#include <type_traits>

namespace zv {

// Every entry point of the imaging module, in lookup order.
#define ZV_IMAGING_ENTRIES(X)                                                                                          \
    X(Startup) X(Shutdown) X(Alloc) X(Free) X(CreateBitmapFromFile) X(CreateBitmapFromScan0) X(CloneBitmapAreaI)      \
    X(DisposeImage) X(GetImageWidth) X(GetImageHeight) X(GetImageThumbnail) X(ImageRotateFlip) X(DrawImageRectI)        \
    X(GraphicsClear) X(LockBits) X(UnlockBits) X(GetImageEncodersSize) X(GetImageEncoders) X(SaveImageToFile)          \
    X(GetPropertyCount) X(GetPropertyIdList) X(GetPropertyItemSize) X(GetPropertyItem) X(SetPropertyItem)              \
    X(CreateEffect) X(SetEffectParameters) X(BitmapApplyEffect) X(DeleteEffect) X(ReduceBitmapDecode)

// One slot per entry; a slot stays empty when the module lacks the name.
struct TImagingTable {
#define ZV_SLOT(name) decltype(&::zv##name) name = nullptr;
    ZV_IMAGING_ENTRIES(ZV_SLOT)
#undef ZV_SLOT
};

// The table, filled by LoadImagingLibrary on the window thread before any
// other imaging call and emptied only by UnloadImagingLibrary.
TImagingTable &ImagingTable();

// The module file is "libzvimaging.so" in this folder; by default the
// program folder. Tests point it elsewhere.
void SetImagingLibraryFolder(const QString &folder);
QString ImagingLibraryPath();

// Loads the module by absolute path and looks every name up. False when it
// is already loaded (the table stays as it is) or cannot be loaded.
bool LoadImagingLibrary();
// Empties every slot and unloads the module when it is loaded.
void UnloadImagingLibrary();
bool IsImagingLibraryLoaded();

int ImagingSlotCount();
int FilledImagingSlotCount();

// What the document does at its creation: load, then start the module with
// version 1 (result unchecked, as the program runs without pictures too).
void ImagingStartup(uintptr_t *token);
// What the document does at its destruction: shut down, then unload.
void ImagingShutdown(uintptr_t token);

namespace img {

// Calls a slot; an empty slot gives status 1, no object or nothing.
template <auto Slot, typename... A>
auto Forward(A... args)
{
    auto fn = ImagingTable().*Slot;
    using R = decltype(fn(args...));
    if (!fn) {
        if constexpr (std::is_void_v<R>)
            return;
        else if constexpr (std::is_pointer_v<R>)
            return R(nullptr);
        else
            return R(ZV_GENERIC_ERROR);
    }
    return fn(args...);
}

// Forwarders named after the entries without their "zv" prefix.
#define ZV_FORWARDER(name)                                                                                             \
    template <typename... A>                                                                                           \
    inline auto name(A... args)                                                                                        \
    {                                                                                                                  \
        return Forward<&TImagingTable::name>(args...);                                                                 \
    }
ZV_IMAGING_ENTRIES(ZV_FORWARDER)
#undef ZV_FORWARDER

// The three effects: created, given their parameters, applied to the whole
// bitmap and deleted; the status of the first failing step.
ZvStatus ApplyRedEyeCorrection(ZvBitmap *bitmap, const ZvRect &area);
ZvStatus ApplyColorBalance(ZvBitmap *bitmap, int cyanRed, int magentaGreen, int yellowBlue);
ZvStatus ApplyBrightnessContrast(ZvBitmap *bitmap, int brightness, int contrast);

} // namespace img

} // namespace zv
