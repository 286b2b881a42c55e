#pragma once

#include <QHash>
#include <QMainWindow>

class QAction;

namespace zv {

// The program's one main window. Its menu is menu 128; the folder tree,
// thumbnails, view and bars join it as their features arrive.
class TMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 800;
    static constexpr int kMinHeight = 600;

    explicit TMainFrame(QWidget* parent = nullptr);
    ~TMainFrame() override;

    // "Zelvio [Nowy użytkownik]" without a login, "Zelvio [Użytkownik: <login>]" with one.
    void UpdateTitle(const QString& login);

    QAction* CommandAction(int id) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void applyStoredPlacement();
    void storePlacement();

    QHash<int, QAction*> m_commands;
    bool m_shownOnce = false;
    bool m_placementStored = false;
};

} // namespace zv
