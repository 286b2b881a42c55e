#pragma once

// The contract between the launcher and libqrb.so. Only these interfaces and
// a QString cross the boundary; calls go through vtables, so neither side
// links against the other.

#include <QString>

#include <cstdint>
#include <memory>

class QApplication;
class QWidget;

namespace zv {

// The single document type the library registers. Made by the library and
// destroyed by the launcher before the library is unloaded.
class CDocTemplate {
public:
    virtual ~CDocTemplate() = default;
    // Creates the new, empty document with its main window. False when the
    // document's start of work failed; nothing of it is left then.
    virtual bool OpenNewDocument() = 0;
    // The main window of the open document, or null.
    virtual QWidget* MainWindow() const = 0;
};

// What the launcher's application object offers the library.
class CAppHost {
public:
    virtual QApplication* Application() = 0;
    virtual void AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate) = 0;

protected:
    ~CAppHost() = default;
};

// The library's one export. Results: -1 a newer library was downloaded (its
// full path stands in *newLibraryPath), 0 start-up ends, 1 the document
// template is registered.
using InitializeAppFn = std::int32_t (*)(CAppHost* app, QString* newLibraryPath);
inline constexpr char kInitializeAppSymbol[] = "InitializeApp";

} // namespace zv
