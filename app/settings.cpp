#include "app/settings.h"

#include "app/cp1250.h"
#include "app/rc4.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QSettings>

namespace zv {
namespace {

constexpr char kLastUser[] = "Settings/lastuser";
constexpr char kLastPass[] = "Settings/lastpass";
constexpr char kLastPCode[] = "Settings/lastpcode";
constexpr char kDefVisiblePanel[] = "Settings/defvisiblepanel";
constexpr char kLanguage[] = "General/Language";
constexpr char kBarState[] = "BarState/Layout";

QString launcherName()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).completeBaseName();
    return name;
}

// Integer value; nothing when missing or not a number.
std::optional<int> readInt(const QSettings& s, const char* key)
{
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

} // namespace

Settings::Settings()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Tevaro"), launcherName()))
{
}

Settings::Settings(const QString& iniFilePath)
    : m_settings(std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat))
{
}

Settings::~Settings() = default;

QString Settings::Remembered(const char* key) const
{
    const QVariant v = m_settings->value(QLatin1String(key));
    QByteArray cipher;
    if (v.typeId() == QMetaType::QByteArray) {
        cipher = v.toByteArray();
    } else if (v.typeId() == QMetaType::QString) {
        // Older versions kept the cipher bytes as a text value, which ends at
        // the first zero byte; such a value deciphers to a prefix of the text.
        QString text = v.toString();
        const qsizetype nul = text.indexOf(QChar(0));
        if (nul >= 0)
            text.truncate(nul);
        const std::optional<QByteArray> bytes = cp1250::encode(text);
        if (!bytes) {
            qWarning() << "settings:" << key << "holds characters outside code page 1250; ignored";
            return {};
        }
        cipher = *bytes;
    } else {
        return {};
    }
    return cp1250::decode(RememberCipher(cipher));
}

bool Settings::SetRemembered(const char* key, const QString& text)
{
    const std::optional<QByteArray> bytes = cp1250::encode(text);
    if (!bytes) {
        qWarning() << "settings:" << key << "cannot be written in code page 1250; stored empty";
        m_settings->setValue(QLatin1String(key), QByteArray());
        return false;
    }
    // Kept as a byte block, so a zero byte in the cipher text loses nothing.
    m_settings->setValue(QLatin1String(key), RememberCipher(*bytes));
    return true;
}

QString Settings::LastUser() const { return Remembered(kLastUser); }
QString Settings::LastPass() const { return Remembered(kLastPass); }
QString Settings::LastPCode() const { return Remembered(kLastPCode); }
bool Settings::SetLastUser(const QString& text) { return SetRemembered(kLastUser, text); }
bool Settings::SetLastPass(const QString& text) { return SetRemembered(kLastPass, text); }
bool Settings::SetLastPCode(const QString& text) { return SetRemembered(kLastPCode, text); }

int Settings::DefVisiblePanel() const
{
    const std::optional<int> v = readInt(*m_settings, kDefVisiblePanel);
    return v && (*v == 1 || *v == 2) ? *v : 1;
}

void Settings::SetDefVisiblePanel(int panel)
{
    m_settings->setValue(QLatin1String(kDefVisiblePanel), panel);
}

int Settings::Language() const
{
    const std::optional<int> v = readInt(*m_settings, kLanguage);
    return v && (*v == 0 || *v == 1) ? *v : 0;
}

void Settings::SetLanguage(int language)
{
    m_settings->setValue(QLatin1String(kLanguage), language);
}

QString Settings::PlacementKey(PlacementName name)
{
    switch (name) {
    case PlacementName::MainFrame: return QStringLiteral("WindowStates/MainFrame");
    case PlacementName::ImageColorEditDlg: return QStringLiteral("WindowStates/ImageColorEditDlg");
    case PlacementName::SummaryDlg: return QStringLiteral("WindowStates/SummaryDlg");
    case PlacementName::WebBrowserDlg: return QStringLiteral("WindowStates/WebBrowserDlg");
    }
    return {};
}

std::optional<WindowPlacement> Settings::WindowState(PlacementName name) const
{
    const QVariant v = m_settings->value(PlacementKey(name));
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return WindowPlacement::Parse(v.toByteArray());
}

void Settings::SetWindowState(PlacementName name, const WindowPlacement& placement)
{
    m_settings->setValue(PlacementKey(name), placement.Build());
}

QByteArray Settings::BarState() const
{
    const QVariant v = m_settings->value(QLatin1String(kBarState));
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

void Settings::SetBarState(const QByteArray& state)
{
    m_settings->setValue(QLatin1String(kBarState), state);
}

bool Settings::Sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace zv
