#include "TarnKit/Design/TarnFloatingPanel.h"

#include "TarnKit/Design/TarnFloatingPanelGeometry.h"
#include "TarnKit/Design/TarnWindowRegistry.h"

#include <QAbstractSlider>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <vector>

namespace tarn {
namespace {

constexpr const char* kCustomDragTrackingProperty = "tarnCustomDragTracking";

void configurePanel(QWidget& panel) {
    panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    panel.setAttribute(Qt::WA_TranslucentBackground);
    TarnWindowRegistry::markAsPanel(panel);
}

// The controller's panel: Escape and losing the key focus are handed to the
// controller.
class FloatingPanel : public QWidget {
public:
    FloatingPanel() {
        setObjectName(QStringLiteral("floatingPanel"));
        configurePanel(*this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }

    std::function<void()> onEscapePressed;
    std::function<void()> onResignKey;

    void setContent(QWidget* content) {
        QLayout* column = layout();
        while (QLayoutItem* item = column->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        if (content != nullptr)
            column->addWidget(content);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            if (onEscapePressed)
                onEscapePressed();
            event->accept();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible() &&
            onResignKey)
            onResignKey();
        QWidget::changeEvent(event);
    }
};

} // namespace

void tarnMarkCustomDragTracking(QWidget& widget) {
    widget.setProperty(kCustomDragTrackingProperty, true);
}

TarnFloatingPanelController::TarnFloatingPanelController(QSize size, bool dismissOnResignKey,
                                                         std::function<void()> onDismiss,
                                                         QObject* parent)
    : QObject(parent), m_size(size), m_dismissOnResignKey(dismissOnResignKey),
      m_onDismiss(std::move(onDismiss)) {}

TarnFloatingPanelController::~TarnFloatingPanelController() {
    delete m_panel;
}

bool TarnFloatingPanelController::isVisible() const {
    return m_panel && m_panel->isVisible();
}

void TarnFloatingPanelController::show(bool centeredOnActiveScreen,
                                       std::optional<QRect> anchorFrame,
                                       const ContentBuilder& content) {
    if (!m_panel) {
        auto* panel = new FloatingPanel;
        QPointer<TarnFloatingPanelController> controller(this);
        panel->onEscapePressed = [controller] {
            if (controller)
                controller->hide();
        };
        panel->onResignKey = [controller] {
            if (controller)
                controller->windowDidResignKey();
        };
        m_panel = panel;
    }
    auto* panel = static_cast<FloatingPanel*>(m_panel.data());
    panel->setContent(content ? content() : nullptr);
    panel->resize(m_size);

    const QSizeF size(m_size);
    if (anchorFrame) {
        panel->move(panelgeometry::anchoredTopLeft(QRectF(*anchorFrame), size).toPoint());
    } else if (centeredOnActiveScreen) {
        const QList<QScreen*> screens = QGuiApplication::screens();
        std::vector<panelgeometry::ScreenFrames> frames;
        std::optional<std::size_t> primary;
        for (QScreen* screen : screens) {
            if (screen == QGuiApplication::primaryScreen())
                primary = frames.size();
            frames.push_back({QRectF(screen->geometry()), QRectF(screen->availableGeometry())});
        }
        if (const auto index = panelgeometry::screenUnderPointer(frames, QCursor::pos(), primary))
            panel->move(
                panelgeometry::centredTopLeft(frames[*index].availableFrame, size).toPoint());
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void TarnFloatingPanelController::toggle(bool centeredOnActiveScreen,
                                         std::optional<QRect> anchorFrame,
                                         const ContentBuilder& content) {
    if (isVisible())
        hide();
    else
        show(centeredOnActiveScreen, anchorFrame, content);
}

void TarnFloatingPanelController::hide() {
    if (m_panel)
        m_panel->hide();
    if (m_onDismiss)
        m_onDismiss();
}

void TarnFloatingPanelController::windowDidResignKey() {
    if (m_dismissOnResignKey)
        hide();
}

TarnDraggableFloatingPanel::TarnDraggableFloatingPanel(QWidget* parent)
    : QWidget(parent), screenMouseLocationProvider([] { return QPointF(QCursor::pos()); }),
      m_tracker(std::make_unique<TarnPanelDragTracker>()) {
    setObjectName(QStringLiteral("draggableFloatingPanel"));
    configurePanel(*this);
    // The panel's window sees every pointer event before any widget does.
    winId();
    watchWindow();
}

TarnDraggableFloatingPanel::~TarnDraggableFloatingPanel() {
    const TarnPanelDragTracker::Outcome outcome = m_tracker->reset(false);
    applyCursor(false, outcome.popClosedHand);
}

bool TarnDraggableFloatingPanel::isDragging() const {
    return m_tracker->state() == TarnPanelDragTracker::State::dragging;
}

void TarnDraggableFloatingPanel::watchWindow() {
    QWindow* handle = windowHandle();
    if (handle == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = handle;
    if (handle != nullptr)
        handle->installEventFilter(this);
}

bool TarnDraggableFloatingPanel::event(QEvent* event) {
    if (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show)
        watchWindow();
    return QWidget::event(event);
}

bool TarnDraggableFloatingPanel::isInteractiveControlThatTracksDrag(const QWidget* widget) const {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (qobject_cast<const QTextEdit*>(widget) != nullptr ||
            qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
            qobject_cast<const QLineEdit*>(widget) != nullptr ||
            qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
            widget->property(kCustomDragTrackingProperty).toBool())
            return true;
        if (widget == this)
            break;
    }
    return false;
}

void TarnDraggableFloatingPanel::applyCursor(bool push, bool pop) {
    if (pop)
        QGuiApplication::restoreOverrideCursor();
    if (push)
        QGuiApplication::setOverrideCursor(Qt::ClosedHandCursor);
}

bool TarnDraggableFloatingPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedWindow && !m_synthesising) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return handleMouse(*static_cast<QMouseEvent*>(event));
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TarnDraggableFloatingPanel::handleMouse(QMouseEvent& event) {
    TarnPanelDragTracker::Outcome outcome;
    switch (event.type()) {
    case QEvent::MouseButtonPress: {
        if (event.button() != Qt::LeftButton)
            return false;
        const QWidget* hit = childAt(event.position().toPoint());
        outcome = m_tracker->press(screenMouseLocationProvider(), QPointF(pos()),
                                   isInteractiveControlThatTracksDrag(hit));
        break;
    }
    case QEvent::MouseMove:
        if (!(event.buttons() & Qt::LeftButton))
            return false;
        outcome = m_tracker->move(screenMouseLocationProvider());
        break;
    case QEvent::MouseButtonRelease:
        if (event.button() != Qt::LeftButton)
            return false;
        outcome = m_tracker->release(QPointF(pos()));
        break;
    default:
        return false;
    }
    applyCursor(outcome.pushClosedHand, outcome.popClosedHand);
    if (outcome.moveTo) {
        move(outcome.moveTo->toPoint());
        if (outcome.began && onDragBegan)
            onDragBegan(frameGeometry());
        if (outcome.moved && onDragMoved)
            onDragMoved(frameGeometry());
    }
    if (outcome.synthesiseFarRelease) {
        // The content saw the press; it gets a release far outside itself so
        // that no button under the pointer fires at the end of a drag.
        const QPointF far(-10000, -10000);
        QMouseEvent release(QEvent::MouseButtonRelease, far, far, Qt::LeftButton, Qt::NoButton,
                            event.modifiers());
        release.setTimestamp(event.timestamp());
        m_synthesising = true;
        QCoreApplication::sendEvent(m_watchedWindow, &release);
        m_synthesising = false;
    }
    if (outcome.endedAt && onDragEnded)
        onDragEnded(outcome.endedAt->toPoint());
    return !outcome.passOn;
}

void TarnDraggableFloatingPanel::resetDragState(bool notifyCancelled) {
    const TarnPanelDragTracker::Outcome outcome = m_tracker->reset(notifyCancelled);
    applyCursor(false, outcome.popClosedHand);
    if (outcome.cancelled && onDragCancelled)
        onDragCancelled();
}

void TarnDraggableFloatingPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        resetDragState(true);
        if (onEscapePressed)
            onEscapePressed();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TarnDraggableFloatingPanel::hideEvent(QHideEvent* event) {
    resetDragState(true);
    QWidget::hideEvent(event);
}

void TarnDraggableFloatingPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        resetDragState(true);
    QWidget::changeEvent(event);
}

} // namespace tarn
