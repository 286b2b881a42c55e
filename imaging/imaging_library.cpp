#include "imaging/imaging_library.h"

#include "app/program_folder.h"

#include <QDebug>
#include <QFile>

#include <dlfcn.h>

namespace zv {

namespace {

constexpr const char *kModuleFile = "libzvimaging.so";

void *g_handle = nullptr;
QString g_folder;
bool g_folderSet = false;

TImagingTable g_table;

template <typename F>
void Lookup(F &slot, const char *name)
{
    slot = reinterpret_cast<F>(dlsym(g_handle, name));
}

ZvStatus ApplyEffect(ZvBitmap *bitmap, const ZvGuid &id, const void *params, uint32_t size)
{
    ZvEffect *effect = nullptr;
    ZvStatus status = img::CreateEffect(id, &effect);
    if (status == ZV_OK)
        status = img::SetEffectParameters(effect, params, size);
    if (status == ZV_OK)
        status = img::BitmapApplyEffect(bitmap, effect, static_cast<const ZvRect *>(nullptr), 0,
                                        static_cast<void **>(nullptr), static_cast<int32_t *>(nullptr));
    if (effect)
        img::DeleteEffect(effect);
    return status;
}

} // namespace

TImagingTable &ImagingTable()
{
    return g_table;
}

void SetImagingLibraryFolder(const QString &folder)
{
    g_folder = folder;
    if (!g_folder.isEmpty() && !g_folder.endsWith(QLatin1Char('/')))
        g_folder += QLatin1Char('/');
    g_folderSet = true;
}

QString ImagingLibraryPath()
{
    return (g_folderSet ? g_folder : GetProgramFolder()) + QLatin1String(kModuleFile);
}

bool LoadImagingLibrary()
{
    if (g_handle)
        return false;
    const QString path = ImagingLibraryPath();
    // An absolute path only: never a search path, never the current folder.
    if (!path.startsWith(QLatin1Char('/')) || !QFile::exists(path))
        return false;
    g_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!g_handle) {
        qWarning("imaging module %s not loaded: %s", qPrintable(path), dlerror());
        return false;
    }
#define ZV_LOOKUP(name) Lookup(g_table.name, "zv" #name);
    ZV_IMAGING_ENTRIES(ZV_LOOKUP)
#undef ZV_LOOKUP
    return true;
}

void UnloadImagingLibrary()
{
    g_table = TImagingTable{};
    if (g_handle) {
        dlclose(g_handle);
        g_handle = nullptr;
    }
}

bool IsImagingLibraryLoaded()
{
    return g_handle != nullptr;
}

int ImagingSlotCount()
{
    int n = 0;
#define ZV_COUNT(name) ++n;
    ZV_IMAGING_ENTRIES(ZV_COUNT)
#undef ZV_COUNT
    return n;
}

int FilledImagingSlotCount()
{
    int n = 0;
#define ZV_FILLED(name) n += g_table.name != nullptr;
    ZV_IMAGING_ENTRIES(ZV_FILLED)
#undef ZV_FILLED
    return n;
}

void ImagingStartup(uintptr_t *token)
{
    LoadImagingLibrary();
    ZvStartupInput input{1, nullptr, 0, 0};
    img::Startup(token, static_cast<const ZvStartupInput *>(&input), static_cast<void *>(nullptr));
}

void ImagingShutdown(uintptr_t token)
{
    img::Shutdown(token);
    UnloadImagingLibrary();
}

namespace img {

ZvStatus ApplyRedEyeCorrection(ZvBitmap *bitmap, const ZvRect &area)
{
    // The record and its one rectangle travel together, as the size says.
    struct {
        ZvRedEyeCorrectionParams params;
        ZvRect rect;
    } block{{1, nullptr}, area};
    block.params.areas = &block.rect;
    return ApplyEffect(bitmap, ZV_EFFECT_RED_EYE_CORRECTION, &block.params,
                       uint32_t(sizeof(ZvRedEyeCorrectionParams) + sizeof(ZvRect)));
}

ZvStatus ApplyColorBalance(ZvBitmap *bitmap, int cyanRed, int magentaGreen, int yellowBlue)
{
    const ZvColorBalanceParams params{cyanRed, magentaGreen, yellowBlue};
    return ApplyEffect(bitmap, ZV_EFFECT_COLOR_BALANCE, &params, uint32_t(sizeof(params)));
}

ZvStatus ApplyBrightnessContrast(ZvBitmap *bitmap, int brightness, int contrast)
{
    const ZvBrightnessContrastParams params{brightness, contrast};
    return ApplyEffect(bitmap, ZV_EFFECT_BRIGHTNESS_CONTRAST, &params, uint32_t(sizeof(params)));
}

} // namespace img

} // namespace zv
