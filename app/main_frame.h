#pragma once

#include <QHash>
#include "order/doc_seams.h"

#include <QMainWindow>

class QAction;

namespace zv {

class TZelvioDoc;

// The program's one main window. Its menu is menu 128; the folder tree,
// thumbnails, view and bars join it as their features arrive.
class TMainFrame final : public QMainWindow, public IDocViews {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 800;
    static constexpr int kMinHeight = 600;

    // doc (not owned, may be null) is the order the window shows and saves.
    explicit TMainFrame(TZelvioDoc* doc = nullptr, QWidget* parent = nullptr);
    ~TMainFrame() override;

    // "Zelvio [Nowy użytkownik]" without a login, "Zelvio [Użytkownik: <login>]" with one.
    void UpdateTitle(const QString& login);

    QAction* CommandAction(int id) const;

    // The help page the "&Pomoc" command opens with the system's handler.
    static QString HelpPageAddress(const QString& serverBase);

    // The order grid joins the window with its own feature; until then the
    // window has none to update.
    bool HasOrderGrid() const override { return false; }
    void RemoveFromOrderGrid(const TThumbData*) override {}
    void RefreshOrder() override {}
    void ShowOrderContents() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void applyStoredPlacement();
    void storePlacement();
    void offerSavedOrder();

    TZelvioDoc* m_doc = nullptr;
    QHash<int, QAction*> m_commands;
    bool m_shownOnce = false;
    bool m_placementStored = false;
};

} // namespace zv
