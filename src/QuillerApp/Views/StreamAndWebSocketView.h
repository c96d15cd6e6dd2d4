#pragma once

// The streaming tab: two consoles side by side. The left one listens to a
// Server-Sent-Events stream and lists its events, the right one holds a
// WebSocket connection, sends text messages and lists the frames in both
// directions. The URLs, the message, the connection states and both lists
// live in the view model; the screen binds to them and calls its three
// operations. Both lists show the newest row at the top and take each
// event-loop turn's new rows in one insertion.
//
// Threads: the GUI thread.

#include <QColor>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
struct ViewModelChanges;
class NewestFirstListModel;
class ConsoleRowDelegate;

class StreamAndWebSocketView final : public QWidget {
    Q_OBJECT
    // The host's accent colour: event types and outgoing frames.
    Q_PROPERTY(QColor accent READ accent WRITE setAccent)
public:
    StreamAndWebSocketView(QuillerViewModel& model, ViewModelBridge& bridge,
                           QWidget* parent = nullptr);
    ~StreamAndWebSocketView() override;

    QColor accent() const { return m_accent; }
    void setAccent(const QColor& accent);

private:
    QWidget* buildSSEConsole();
    QWidget* buildWebSocketConsole();
    // Shows the view model as it is now; `changes` limits the work to what
    // changed in the turn, nullptr means everything.
    void refresh(const ViewModelChanges* changes);
    void refreshTexts();
    QString text(const char* en, const char* tr) const;

    QuillerViewModel& m_model;
    QColor m_accent;

    QLabel* m_sseTitle = nullptr;
    QLineEdit* m_sseURL = nullptr;
    tarn::TarnPrimaryButton* m_sseButton = nullptr;
    QListView* m_sseList = nullptr;
    NewestFirstListModel* m_sseEvents = nullptr;
    ConsoleRowDelegate* m_sseDelegate = nullptr;

    QLabel* m_wsTitle = nullptr;
    QLineEdit* m_wsURL = nullptr;
    tarn::TarnPrimaryButton* m_connectButton = nullptr;
    QLineEdit* m_message = nullptr;
    tarn::TarnGlassButton* m_sendButton = nullptr;
    QListView* m_wsList = nullptr;
    NewestFirstListModel* m_wsFrames = nullptr;
    ConsoleRowDelegate* m_wsDelegate = nullptr;
};

} // namespace quiller
