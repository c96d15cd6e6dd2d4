#include "TarnKit/Design/TarnUnifiedHeaderBar.h"

#include "TarnKit/Design/TarnUnifiedTitlebar.h"
#include "TarnKit/Design/TarnWindowButtons.h"
#include "TarnKit/Design/TarnWindowDragArea.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLayout>
#include <QPainter>
#include <QPointer>
#include <cmath>

namespace tarn {
namespace {

int whole(double length) {
    return static_cast<int>(std::lround(length));
}

// Keeps one sidebar's top margin at its clearance; a child of the sidebar.
class SidebarClearance : public QObject {
public:
    SidebarClearance(QWidget& sidebar, double extraTop)
        : QObject(&sidebar), m_sidebar(&sidebar), m_extraTop(extraTop) {
        setObjectName(QStringLiteral("sidebarTitlebarClearance"));
        sidebar.installEventFilter(this);
        apply(TarnUnifiedTitlebarMetrics{});
        bind();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_sidebar &&
            (event->type() == QEvent::Show || event->type() == QEvent::ParentChange))
            bind();
        return QObject::eventFilter(watched, event);
    }

private:
    void bind() {
        TarnUnifiedTitlebarWindow* chrome = TarnUnifiedTitlebarWindow::of(m_sidebar);
        if (chrome == m_chrome)
            return;
        disconnect(m_binding);
        m_chrome = chrome;
        if (chrome == nullptr)
            return;
        m_binding = connect(chrome, &TarnUnifiedTitlebarWindow::metricsChanged, this,
                            [this](const TarnUnifiedTitlebarMetrics& metrics) { apply(metrics); });
        apply(chrome->metrics());
    }

    void apply(const TarnUnifiedTitlebarMetrics& metrics) {
        QLayout* layout = m_sidebar->layout();
        if (layout == nullptr)
            return;
        QMargins margins = layout->contentsMargins();
        margins.setTop(whole(m_extraTop + metrics.sidebarTopClearance));
        layout->setContentsMargins(margins);
    }

    QWidget* m_sidebar;
    double m_extraTop;
    QPointer<TarnUnifiedTitlebarWindow> m_chrome;
    QMetaObject::Connection m_binding;
};

} // namespace

TarnUnifiedHeaderBar::TarnUnifiedHeaderBar(QWidget* parent, double minHeight,
                                           double trailingPadding, double verticalPadding,
                                           QColor backgroundColor)
    : QWidget(parent), m_dragArea(new TarnWindowDragArea(this)), m_content(new QHBoxLayout),
      m_background(backgroundColor), m_trailing(whole(trailingPadding)),
      m_vertical(whole(verticalPadding)) {
    setObjectName(QStringLiteral("unifiedHeaderBar"));
    setMinimumHeight(whole(minHeight));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_dragArea);
    // The content lives inside the drag area, so that a press on a label or on
    // empty room between controls reaches the area and drags the window.
    m_dragArea->setLayout(m_content);
    m_content->setSpacing(8);
    if (!tarnUsesNativeDecorations()) {
        m_buttons = new TarnWindowButtons(m_dragArea);
        placeButtons();
    }
    setMetrics(TarnUnifiedTitlebarMetrics{});
}

void TarnUnifiedHeaderBar::setMetrics(const TarnUnifiedTitlebarMetrics& metrics) {
    m_metrics = metrics;
    m_content->setContentsMargins(whole(metrics.leadingClearance), m_vertical, m_trailing,
                                  m_vertical);
    if (m_buttons != nullptr)
        m_buttons->setVisible(!metrics.isFullScreen);
}

void TarnUnifiedHeaderBar::bindToWindow() {
    TarnUnifiedTitlebarWindow* chrome = TarnUnifiedTitlebarWindow::of(this);
    disconnect(m_binding);
    if (chrome == nullptr)
        return;
    m_binding = connect(chrome, &TarnUnifiedTitlebarWindow::metricsChanged, this,
                        &TarnUnifiedHeaderBar::setMetrics);
    setMetrics(chrome->metrics());
}

void TarnUnifiedHeaderBar::placeButtons() {
    if (m_buttons == nullptr)
        return;
    const int centreY = whole(TarnUnifiedTitlebarMetrics::standardHeight / 2);
    m_buttons->move(buttonsLeading, centreY - m_buttons->height() / 2);
    m_buttons->raise();
}

void TarnUnifiedHeaderBar::paintEvent(QPaintEvent*) {
    if (m_background.alpha() == 0)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
}

void TarnUnifiedHeaderBar::showEvent(QShowEvent* event) {
    bindToWindow();
    QWidget::showEvent(event);
}

void TarnUnifiedHeaderBar::resizeEvent(QResizeEvent* event) {
    placeButtons();
    QWidget::resizeEvent(event);
}

void TarnUnifiedHeaderBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ParentChange)
        bindToWindow();
    QWidget::changeEvent(event);
}

void tarnSidebarTitlebarClearance(QWidget& sidebar, double extraTop) {
    delete sidebar.findChild<QObject*>(QStringLiteral("sidebarTitlebarClearance"),
                                       Qt::FindDirectChildrenOnly);
    new SidebarClearance(sidebar, extraTop);
}

} // namespace tarn
