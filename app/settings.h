#pragma once

#include "app/window_placement.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace zv {

// Windows whose placement is remembered under "WindowStates".
enum class PlacementName { MainFrame, ImageColorEditDlg, SummaryDlg, WebBrowserDlg };

// The program's per-user settings; the only place that touches QSettings.
// Missing, mistyped or out-of-range values read as their defaults. Not
// thread-safe: use it from the window thread and hand values on.
class Settings final {
public:
    // The user's settings: organisation "Tevaro", application named after
    // the launcher (QCoreApplication::applicationName()).
    Settings();
    // Settings kept in the given INI file (tests, portable use).
    explicit Settings(const QString& iniFilePath);
    ~Settings();

    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // "Settings" / "lastuser", "lastpass", "lastpcode": remembered login,
    // password and promotion code, deciphered; empty by default. The setters
    // return false (and store an empty value, so nothing stale stays) when
    // the text cannot be written in code page 1250.
    QString LastUser() const;
    QString LastPass() const;
    QString LastPCode() const;
    bool SetLastUser(const QString& text);
    bool SetLastPass(const QString& text);
    bool SetLastPCode(const QString& text);

    // "Settings" / "defvisiblepanel": 1 photo preview (default), 2 order contents.
    int DefVisiblePanel() const;
    void SetDefVisiblePanel(int panel);

    // "General" / "Language": 0 (default) or 1.
    int Language() const;
    void SetLanguage(int language);

    // "WindowStates" / <name>: a valid 44-byte placement record, or nothing.
    std::optional<WindowPlacement> WindowState(PlacementName name) const;
    void SetWindowState(PlacementName name, const WindowPlacement& placement);
    static QString PlacementKey(PlacementName name);

    // "BarState": the docking bar layout as one opaque blob; empty when none.
    QByteArray BarState() const;
    void SetBarState(const QByteArray& state);

    // Writes pending changes to the store; false when it cannot be written.
    bool Sync();

private:
    QString Remembered(const char* key) const;
    bool SetRemembered(const char* key, const QString& text);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace zv
