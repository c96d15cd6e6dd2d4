#include "QuillerApp/Views/MenuBarQuillerPopoverView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/QuillerStudioStyle.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <utility>

namespace quiller {
namespace {

using Field = QuillerViewModelField;

constexpr int kWidth = 270;

// A small button: accent-filled for the popover's main action, translucent
// for the others.
QPushButton* smallButton(bool prominent, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setFont(tarn::fonts::system(11, QFont::Medium));
    button->setCursor(Qt::PointingHandCursor);
    const QColor text =
        prominent ? QColor(Qt::white) : tarn::qColor(tarn::TarnGlassTokens::textPrimary);
    const QColor fill =
        prominent
            ? tarn::qColor(tarn::productpalette::accentColor(tarn::TarnProductPalette::deepIndigo))
            : tarn::qColor(tarn::TarnGlassTokens::surface2);
    QColor pressed = fill;
    pressed.setAlphaF(fill.alphaF() * 0.75f);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid %3;"
                       " border-radius: 5px; padding: 3px 10px; }"
                       "QPushButton:pressed { background: %4; }")
            .arg(studiostyle::cssRgba(text), studiostyle::cssRgba(fill),
                 studiostyle::cssRgba(tarn::qColor(tarn::TarnGlassTokens::borderSubtle)),
                 studiostyle::cssRgba(pressed)));
    return button;
}

} // namespace

QString latestResponseLine(const HTTPResponseSnapshot& response) {
    const std::string line =
        std::string(rawValue(response.method)) + " " +
        tarn::numbers::formatInteger(response.statusCode) + " · " +
        tarn::numbers::formatInteger(tarn::numbers::truncateToInteger(response.timing.totalMs)) +
        "ms";
    return tarn::qt::toQString(line);
}

MenuBarQuillerPopoverView::MenuBarQuillerPopoverView(QuillerViewModel& model,
                                                     ViewModelBridge& bridge,
                                                     std::function<void()> onOpenStudio,
                                                     QWidget* parent)
    : QWidget(parent), m_model(model), m_onOpenStudio(std::move(onOpenStudio)) {
    setObjectName(QStringLiteral("MenuBarQuillerPopoverView"));
    setFixedWidth(kWidth);
    m_ground = new tarn::TarnGroundBackground(tarn::TarnProductPalette::deepIndigo, this);
    m_ground->lower();

    QPalette textPalette = palette();
    textPalette.setColor(QPalette::WindowText, tarn::qColor(tarn::TarnGlassTokens::textPrimary));
    setPalette(textPalette);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->addWidget(new tarn::TarnBrandMark(18, tarn::TarnBrandMarkStyle::currentApp(), this), 0,
                      Qt::AlignVCenter);
    auto* title = new QLabel(QStringLiteral("Quiller"), this);
    title->setObjectName(QStringLiteral("popoverTitle"));
    title->setFont(tarn::fonts::system(13.5, QFont::Bold));
    header->addWidget(title, 0, Qt::AlignVCenter);
    header->addStretch(1);
    m_port = new QLabel(this);
    m_port->setObjectName(QStringLiteral("popoverPort"));
    m_port->setFont(tarn::fonts::system(11, QFont::Bold, true));
    QPalette portPalette = m_port->palette();
    portPalette.setColor(QPalette::WindowText, tarn::qColor(tarn::TarnGlassTokens::success));
    m_port->setPalette(portPalette);
    header->addWidget(m_port, 0, Qt::AlignVCenter);
    column->addLayout(header);
    column->addWidget(studiostyle::makeHairline(this));

    m_serverButton = smallButton(true, this);
    m_serverButton->setObjectName(QStringLiteral("popoverServerButton"));
    connect(m_serverButton, &QPushButton::clicked, this, [this] { m_model.toggleProxyServer(); });
    column->addWidget(m_serverButton, 0, Qt::AlignLeft);

    m_latestLine = new QLabel(this);
    m_latestLine->setObjectName(QStringLiteral("popoverLatestResponse"));
    m_latestLine->setFont(tarn::fonts::system(11, QFont::Normal, true));
    m_latestLine->setTextFormat(Qt::PlainText);
    column->addWidget(m_latestLine);
    column->addWidget(studiostyle::makeHairline(this));

    auto* bottom = new QHBoxLayout;
    m_openStudio = smallButton(false, this);
    m_openStudio->setObjectName(QStringLiteral("popoverOpenStudio"));
    connect(m_openStudio, &QPushButton::clicked, this, [this] {
        if (m_onOpenStudio)
            m_onOpenStudio();
    });
    bottom->addWidget(m_openStudio);
    bottom->addStretch(1);
    m_quit = smallButton(false, this);
    m_quit->setObjectName(QStringLiteral("popoverQuit"));
    // No confirmation: everything is saved after each edit.
    connect(m_quit, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
    bottom->addWidget(m_quit);
    column->addLayout(bottom);

    connect(&bridge, &ViewModelBridge::changed, this, [this](const ViewModelChanges& changes) {
        if (changes.containsAny({Field::isProxyRunning, Field::activeProxyPort, Field::language,
                                 Field::latestResponse}))
            refresh();
    });
    refresh();
}

void MenuBarQuillerPopoverView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_ground->setGeometry(rect());
}

void MenuBarQuillerPopoverView::refresh() {
    const tarn::TarnLanguage language = m_model.language();
    const bool running = m_model.isProxyRunning();
    m_port->setVisible(running);
    tarn::bindings::refresh(m_port,
                            running ? ":" + tarn::numbers::formatInteger(m_model.activeProxyPort())
                                    : std::string());
    m_serverButton->setText(tarn::qt::toQString(
        running
            ? tarn::tarnText("Stop Local Mock Server", "Yerel Mock Sunucusunu Durdur", language)
            : tarn::tarnText("Start Local Mock Server", "Yerel Mock Sunucusunu Başlat", language)));
    const std::optional<HTTPResponseSnapshot>& latest = m_model.latestResponse();
    m_latestLine->setVisible(latest.has_value());
    m_latestLine->setText(latest ? latestResponseLine(*latest) : QString());
    m_openStudio->setText(
        tarn::qt::toQString(tarn::tarnText("Open Studio", "Stüdyoyu Aç", language)));
    m_quit->setText(tarn::qt::toQString(tarn::tarnText("Quit", "Çıkış", language)));
}

} // namespace quiller
