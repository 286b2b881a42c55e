// The one export of libqrb.so.

#include "app/initialize_app.h"
#include "app/message_box.h"
#include "app/qt_message_box.h"

#include <QCoreApplication>

namespace {

zv::TQtMessageBox g_messageBox;

// The seam points into this library's own data; take it back before the
// library goes away.
struct SeamGuard {
    ~SeamGuard() { zv::SetMessageBoxSeam(nullptr); }
} g_seamGuard;

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t InitializeApp(zv::CAppHost* app,
                                                                           QString* newLibraryPath)
{
    zv::SetMessageBoxSeam(&g_messageBox);
    return zv::InitializeApp(app, newLibraryPath, QCoreApplication::arguments());
}
