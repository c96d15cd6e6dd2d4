#pragma once

// The content of the tray icon's popover: whether the local mock server runs
// and on which port, a button that starts or stops it, one line about the
// latest response, and the buttons that open the studio window and quit.
// 270 pixels wide; its height follows the content. It keeps no state: it
// follows the view model while it is open.
//
// Threads: the GUI thread. The view model and the bridge must outlive the view.

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
struct HTTPResponseSnapshot;

// "GET 200 · 143ms": method, status and the total time cut to whole
// milliseconds (0 for a time that is not a number).
QString latestResponseLine(const HTTPResponseSnapshot& response);

class MenuBarQuillerPopoverView final : public QWidget {
    Q_OBJECT
public:
    // `onOpenStudio` runs when "Open Studio" is clicked.
    MenuBarQuillerPopoverView(QuillerViewModel& model, ViewModelBridge& bridge,
                              std::function<void()> onOpenStudio, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();

    QuillerViewModel& m_model;
    std::function<void()> m_onOpenStudio;
    QWidget* m_ground = nullptr;
    QLabel* m_port = nullptr;
    QPushButton* m_serverButton = nullptr;
    QLabel* m_latestLine = nullptr;
    QPushButton* m_openStudio = nullptr;
    QPushButton* m_quit = nullptr;
};

} // namespace quiller
