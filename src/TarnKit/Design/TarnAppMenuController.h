#pragma once

// Turns a TarnMainMenuDescription into live menus: the application menu
// (titled with the application's name), File (only with items), Edit, the
// custom menus and Window, in that order, each hanging from mainMenu().
// Every main window gets a QMenuBar of its own over the same menus
// (makeMenuBar / attachMenuBar).
//
// Each item's closures live on its QAction (a child object), so they go with
// the action: a cleared menu leaves no binding behind. Before a menu opens its
// titles are refreshed, dynamic submenus rebuilt, and items hidden, disabled
// or enabled by their checks; when it closes, every bound item is enabled
// again so that its shortcut keeps working, and a triggered item (also by a
// shortcut, with no menu open) is checked again before its action runs.
//
// Linux has no counterpart for hiding the application or other applications:
// Hide minimises our windows, and Hide Others and Show All are left out.
//
// Threads: the GUI thread.

#include "TarnKit/Design/TarnMenuModel.h"

#include <QObject>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace tarn {

class TarnAppMenuController : public QObject {
    Q_OBJECT
public:
    explicit TarnAppMenuController(TarnMainMenuDescription description, QObject* parent = nullptr);
    ~TarnAppMenuController() override;

    // Never shown itself: its actions are the top-level menus.
    QMenu* mainMenu() const { return m_mainMenu.get(); }
    QMenu* windowsMenu() const { return m_windowsMenu; }

    // A menu bar over the top-level menus.
    QMenuBar* makeMenuBar(QWidget* parent = nullptr) const;
    // Gives the window a menu bar (its layout's, or a QMainWindow's) unless it
    // has one; false when it has no place for one.
    bool attachMenuBar(QWidget& window) const;

    // Whether a text field or text view has the focus in the active window.
    static bool isTextInputFocused();

    // The platform's calls, public for tests: a menu is about to open, an item
    // is validated (whether it may act now), an item is chosen.
    void menuNeedsUpdate(QMenu* menu);
    bool validateMenuItem(QAction* action);
    void handleMenuAction(QAction* action);

    // How many item and menu bindings are alive under mainMenu().
    int liveBindingCount() const;

private:
    struct Builder;

    void connectMenu(QMenu* menu);
    void menuDidClose(QMenu* menu);

    TarnMainMenuDescription m_description;
    std::unique_ptr<QMenu> m_mainMenu;
    QMenu* m_windowsMenu = nullptr;
};

} // namespace tarn
