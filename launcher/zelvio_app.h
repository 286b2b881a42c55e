#pragma once

#include "app/app_host.h"
#include "launcher/single_instance_app.h"

#include <memory>
#include <vector>

namespace zv {

// The launcher's application: loads libqrb.so from its own folder, lets it
// register its document template, installs a library update the library
// downloaded, and opens the first, empty document.
class TZelvioApp final : public CSingleInstanceApp, public CAppHost {
    Q_OBJECT
public:
    static constexpr char kInstanceName[] = "{A3CC3C9B-8710-49EE-91D3-26F9FFD3EE93}";
    static constexpr char kLibraryName[] = "libqrb.so";

    TZelvioApp(int& argc, char** argv);
    ~TZelvioApp() override;

    // False when start-up ends here: a later instance, no loadable library,
    // no export, the library's start-up said stop, or no main window.
    bool InitInstance();
    // Destroys what the library made, then unloads it.
    void ExitInstance();
    // The process's exit code when InitInstance said false: 0 when start-up
    // ended as intended (a later instance, the version box), 1 on a failure.
    int ExitCode() const { return m_exitCode; }

    QApplication* Application() override { return this; }
    void AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate) override;

private:
    bool loadLibrary(const QString& path);
    void unloadLibrary();
    bool installUpdate(const QString& libraryPath, const QString& downloadedPath);

    bool fail();

    void* m_library = nullptr;
    int m_exitCode = 0;
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
};

} // namespace zv
