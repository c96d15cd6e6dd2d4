// Pictures of the window chrome: the unified header with our window buttons
// (active window, pointer over the buttons, inactive window) and the standard
// menus built by the menu controller.

#include "PictureRegistry.h"
#include "TarnKit/Design/TarnAppMenuController.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnUnifiedHeaderBar.h"
#include "TarnKit/Design/TarnWindowButtons.h"
#include "TarnKit/Localization/TarnText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <memory>

namespace quiller::pictures {
namespace {

using namespace tarn;

QString text(const char* en, const char* tr, TarnLanguage language) {
    return QString::fromStdString(tarnText(en, tr, language));
}

// One header bar as the studio lays it out, its buttons in the given state.
TarnUnifiedHeaderBar* header(const QString& caption, bool active, bool hovered) {
    auto* bar = new TarnUnifiedHeaderBar;
    bar->setFixedWidth(560);
    auto* title = new QLabel(QStringLiteral("Quiller"));
    title->setFont(fonts::font(TarnTextStyle::headline));
    title->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 245)"));
    auto* note = new QLabel(caption);
    note->setFont(fonts::font(TarnTextStyle::caption));
    note->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 184)"));
    bar->contentLayout()->addWidget(title);
    bar->contentLayout()->addWidget(note);
    bar->contentLayout()->addStretch();
    for (const TarnWindowButtonRole role :
         {TarnWindowButtonRole::close, TarnWindowButtonRole::minimize,
          TarnWindowButtonRole::zoom}) {
        TarnWindowButton* button = bar->windowButtons()->button(role);
        button->setWindowActive(active);
        button->setHovered(hovered);
    }
    return bar;
}

std::unique_ptr<QWidget> headers(PictureContext& context) {
    const TarnLanguage language = context.language;
    auto ground = std::make_unique<TarnGroundBackground>(TarnProductPalette::deepIndigo);
    auto* column = new QVBoxLayout(ground.get());
    column->setContentsMargins(0, 0, 0, 12);
    column->setSpacing(6);
    column->addWidget(header(text("Active window", "Etkin pencere", language), true, false));
    column->addWidget(header(
        text("Pointer over the buttons", "İşaretçi düğmelerin üzerinde", language), true, true));
    column->addWidget(
        header(text("Inactive window", "Etkin olmayan pencere", language), false, false));
    return ground;
}

// A widget's picture at twice its size, as the menus cannot be laid out
// inside another widget.
QLabel* snapshot(QWidget& widget) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.adjustSize();
    const qreal ratio = 2.0;
    QPixmap pixmap(widget.size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    widget.render(&pixmap, QPoint(), QRegion(), QWidget::DrawChildren);
    auto* label = new QLabel;
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

std::unique_ptr<QWidget> menus(PictureContext& context) {
    TarnMainMenuDescription description;
    description.appName = "Quiller";
    const TarnLanguage language = context.language;
    description.language = [language] { return language; };
    description.onOpenSettings = [] {};
    description.fileMenuItems = {
        TarnMenuElement::item(
            [language] { return tarnText("New Request", "Yeni İstek", language); }, "n",
            Qt::ControlModifier, {}, {}, false, [] {}),
        TarnMenuElement::divider(),
        TarnMenuElement::languageSubmenu([language] { return language; }, [](TarnLanguage) {}),
    };
    TarnEditMenuOverrides overrides;
    overrides.duplicate = [] {};
    description.editOverrides = overrides;
    description.closeWindowKeyEquivalent = "w";
    TarnAppMenuController controller(std::move(description));

    auto canvas = std::make_unique<QWidget>();
    canvas->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(canvas.get());
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    std::unique_ptr<QMenuBar> bar(controller.makeMenuBar());
    bar->setFixedWidth(560);
    column->addWidget(snapshot(*bar));
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    for (QAction* top : controller.mainMenu()->actions()) {
        QMenu* menu = top->menu();
        controller.menuNeedsUpdate(menu);
        row->addWidget(snapshot(*menu), 0, Qt::AlignTop);
    }
    row->addStretch();
    column->addLayout(row);
    return canvas;
}

QUILLER_PICTURE("chrome/header-window-buttons", headers);
QUILLER_PICTURE("chrome/menus", menus);

} // namespace
} // namespace quiller::pictures
