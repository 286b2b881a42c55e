#include "app/main_frame.h"

#include "app/message_box.h"
#include "app/settings.h"
#include "app/string_table.h"
#include "app/window_placement.h"
#include "net/server_address.h"
#include "net/xml/xml_node.h"
#include "order/zelvio_doc.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenuBar>
#include <QTimer>
#include <QUrl>

namespace zv {
namespace {

constexpr int kAppExit = 57665;
constexpr int kClientData = 32869;
constexpr int kOrderHistory = 32868;
constexpr int kHelp = 32790;
constexpr char kTitle[] = "Zelvio";
constexpr int kUserUnknown = 32809;
constexpr int kUserNamed = 32810;
constexpr int kLoadSavedOrder = 32800;
constexpr int kSaveOrderOnExit = 32802;

} // namespace

QString TMainFrame::HelpPageAddress(const QString& serverBase)
{
    return serverBase + QStringLiteral("zvhelp.php");
}

TMainFrame::TMainFrame(TZelvioDoc* doc, QWidget* parent)
    : QMainWindow(parent)
    , m_doc(doc)
{
    setMinimumSize(kMinWidth, kMinHeight);
    buildMenu();
    UpdateTitle({});
}

TMainFrame::~TMainFrame() = default;

void TMainFrame::UpdateTitle(const QString& login)
{
    const QString user = login.isEmpty() ? LoadString(kUserUnknown)
                                         : LoadString(kUserNamed).replace(QLatin1String("%s"), login);
    setWindowTitle(QStringLiteral("%1 [%2]").arg(QLatin1String(kTitle), user));
}

QAction* TMainFrame::CommandAction(int id) const
{
    return m_commands.value(id);
}

void TMainFrame::buildMenu()
{
    auto add = [this](QMenu* menu, const QString& text, int id) {
        QAction* action = menu->addAction(text);
        m_commands.insert(id, action);
        if (id != kAppExit) // the framework's own command has no text of ours
            action->setStatusTip(LoadString(id).section(QLatin1Char('\n'), 0, 0));
        return action;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Plik"));
    QAction* exit = add(file, QStringLiteral("&Wyjście"), kAppExit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* user = menuBar()->addMenu(QStringLiteral("&Użytkownik"));
    add(user, QStringLiteral("Dane &klienta"), kClientData);
    add(user, QStringLiteral("Historia zleceń"), kOrderHistory);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Pomoc"));
    QAction* helpPage = add(help, QStringLiteral("&Pomoc"), kHelp);
    connect(helpPage, &QAction::triggered, this, [] {
        QDesktopServices::openUrl(QUrl(HelpPageAddress(ServerBaseAddress())));
    });
}

void TMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    applyStoredPlacement();
    // Asked once the window is on the screen, not while it is being shown.
    QTimer::singleShot(0, this, &TMainFrame::offerSavedOrder);
}

void TMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_doc && m_doc->photos().GetSize() > 0) {
        switch (ShowMessage(LoadString(kSaveOrderOnExit), MsgIcon::Question, MsgButtons::YesNoCancel)) {
        case MsgResult::Yes:
            m_doc->SaveOrder(0);
            break;
        case MsgResult::No:
            break;
        default:
            event->ignore();
            return;
        }
    }
    storePlacement();
    event->accept();
}

void TMainFrame::offerSavedOrder()
{
    if (!m_doc)
        return;
    TXmlNode saved;
    if (m_doc->LoadOrderFile(saved, 0)
        && ShowMessage(LoadString(kLoadSavedOrder), MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes)
        m_doc->RestoreOrder(saved, 0);
}

void TMainFrame::applyStoredPlacement()
{
    const std::optional<WindowPlacement> placement = Settings().WindowState(PlacementName::MainFrame);
    if (!placement) {
        showMaximized();
        return;
    }
    const WindowGeometry geometry = placement->ToGeometry();
    setGeometry(geometry.normal);
    if (geometry.maximized)
        showMaximized();
}

void TMainFrame::storePlacement()
{
    if (m_placementStored || !m_shownOnce)
        return;
    m_placementStored = true;
    Settings().SetWindowState(PlacementName::MainFrame,
                              WindowPlacement::FromGeometry({normalGeometry(), isMaximized(), isMinimized()}));
}

} // namespace zv
