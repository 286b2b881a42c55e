#include "app/initialize_app.h"

#include "app/build_info.h"
#include "app/message_box.h"
#include "app/zelvio_doc_template.h"

namespace zv {

TCommandLineInfo TCommandLineInfo::Parse(const QStringList& arguments)
{
    TCommandLineInfo info;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool isSwitch = argument.startsWith(QLatin1Char('/')) || argument.startsWith(QLatin1Char('-'));
        if (isSwitch && argument.mid(1) == QLatin1String("v"))
            info.versionRequested = true;
    }
    return info;
}

QString VersionText()
{
    return QStringLiteral("Zelvio — zamawianie odbitek zdjęć\n\n"
                          "Identyfikator kompilacji: %1\n"
                          "Numer kompilacji: %2\n\n"
                          "Program dostarcza Tevaro dla klientów laboratorium fotograficznego.")
        .arg(QLatin1String(kBuildId))
        .arg(kBuildNumber);
}

std::int32_t InitializeApp(CAppHost* app, QString* newLibraryPath, const QStringList& arguments)
{
    if (!app || !newLibraryPath)
        return 0;

    // The host of the embedded browser (banner, advertisement and payment
    // pages) is installed here once those windows are part of the library.

    const TCommandLineInfo commandLine = TCommandLineInfo::Parse(arguments);
    if (commandLine.versionRequested) {
        ShowMessage(VersionText(), MsgIcon::Information, MsgButtons::Ok, QStringLiteral("Zelvio"));
        return 0;
    }

    // The start-up update checks run here: a newer library downloaded into
    // *newLibraryPath is answered with -1 so the launcher installs it.

    app->AddDocTemplate(std::make_unique<TZelvioDocTemplate>());
    return 1;
}

} // namespace zv
