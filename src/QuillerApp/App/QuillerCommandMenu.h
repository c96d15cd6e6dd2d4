#pragma once

// The "Quiller" command menu: Send Active Request (Ctrl+Return, also
// Ctrl+Enter on the keypad), New Request (Ctrl+N) and Start/Stop Local
// Mock/Proxy Server (Ctrl+Shift+P). Every item calls one action of the view
// model and is never disabled; the titles follow the interface language and
// the mock server's state.
//
// The actions are added to the studio window too, so their shortcuts work
// wherever the focus is in it, whether or not the menu is shown anywhere.
//
// Threads: the GUI thread. The view model and the bridge must outlive it.

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;

class QuillerCommandMenu final : public QObject {
    Q_OBJECT
public:
    // `window` receives the actions (and their shortcuts).
    QuillerCommandMenu(QuillerViewModel& model, ViewModelBridge& bridge, QWidget* window);
    ~QuillerCommandMenu() override;

    QMenu* menu() const { return m_menu; }
    QAction* sendAction() const { return m_send; }
    QAction* newRequestAction() const { return m_newRequest; }
    QAction* serverAction() const { return m_server; }

private:
    void refreshTitles();

    QuillerViewModel& m_model;
    QMenu* m_menu;
    QAction* m_send;
    QAction* m_newRequest;
    QAction* m_server;
};

} // namespace quiller
