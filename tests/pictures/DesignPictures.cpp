// Pictures of the suite's design system: glass components, toasts, brand
// marks, the language controls and the version badge, each over the
// application's ground backdrop as the studio shows them.

#include "PictureRegistry.h"
#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnLanguagePicker.h"
#include "TarnKit/Design/TarnToastBanner.h"
#include "TarnKit/Design/TarnVersionBadge.h"
#include "TarnKit/Localization/TarnText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace quiller::pictures {
namespace {

using namespace tarn;

QString text(const char* en, const char* tr, TarnLanguage language) {
    return QString::fromStdString(tarnText(en, tr, language));
}

// The ground backdrop with the widgets in a row, 16 pixels from its edges.
std::unique_ptr<QWidget> onGround(std::initializer_list<QWidget*> widgets, int spacing = 12) {
    auto ground = std::make_unique<TarnGroundBackground>(TarnProductPalette::deepIndigo);
    auto* row = new QHBoxLayout(ground.get());
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(spacing);
    for (QWidget* widget : widgets)
        row->addWidget(widget, 0, Qt::AlignVCenter);
    return ground;
}

std::unique_ptr<QWidget> buttons(PictureContext& context) {
    const TarnLanguage language = context.language;
    auto* pressedPrimary = new TarnPrimaryButton(text("Pressed", "Basılı", language));
    auto* pressedGlass = new TarnGlassButton(text("Pressed", "Basılı", language));
    auto ground = onGround({
        new TarnPrimaryButton(text("Send", "Gönder", language)),
        pressedPrimary,
        new TarnGlassButton(text("Body", "Gövde", language), false),
        new TarnGlassButton(text("Headers", "Başlıklar", language), true),
        pressedGlass,
    });
    // Held down, as while the pointer presses them.
    pressedPrimary->setDown(true);
    pressedGlass->setDown(true);
    return ground;
}

std::unique_ptr<QWidget> card(PictureContext& context) {
    auto* glass = new TarnGlassCard(14, 12);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* title = new QLabel(text("Request", "İstek", context.language));
    title->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 245); font-weight: 600"));
    column->addWidget(title);
    auto* field = new QLineEdit(QStringLiteral("https://api.example.com/v1/users"));
    tarnGlassInputField(field, 8, 10, 6);
    field->setMinimumWidth(280);
    column->addWidget(field);
    glass->setContent(content);
    return onGround({glass});
}

std::unique_ptr<QWidget> toast(PictureContext& context, bool isError) {
    const QString message =
        isError ? text("Could not reach the server", "Sunucuya ulaşılamadı", context.language)
                : text("Request saved", "İstek kaydedildi", context.language);
    auto ground = onGround({new TarnToastBanner(message, isError)});
    ground->layout()->setContentsMargins(24, 16, 24, 28); // room for the shadow
    return ground;
}

std::unique_ptr<QWidget> brandMarks(double size) {
    return onGround({new TarnBrandMark(size, TarnBrandMarkStyle::currentApp()),
                     new TarnBrandMark(size, TarnBrandMarkStyle::brindleSuite())},
                    24);
}

std::unique_ptr<QWidget> pickerClosed(PictureContext& context) {
    auto ground = onGround({new TarnLanguagePicker(std::nullopt, context.language, true, {}),
                            new TarnLanguagePicker(std::nullopt, context.language, false, {}),
                            new TarnLanguageMenuButton(context.language, {})});
    ground->findChild<QLabel*>(QStringLiteral("languagePickerTitle"))
        ->setStyleSheet(QStringLiteral("color: white"));
    return ground;
}

// The list as it drops down, drawn below the closed picker.
std::unique_ptr<QWidget> pickerOpen(PictureContext& context) {
    auto ground = std::make_unique<TarnGroundBackground>(TarnProductPalette::deepIndigo);
    auto* column = new QVBoxLayout(ground.get());
    column->setContentsMargins(16, 16, 16, 16);
    auto* picker = new TarnLanguagePicker(std::nullopt, context.language, false, {});
    column->addWidget(picker, 0, Qt::AlignLeft);
    auto* list = new QLabel;
    column->addWidget(list, 0, Qt::AlignLeft);

    // The pop-up is a window of its own: open it beside the picture, take its
    // picture and close it again.
    QWidget stage;
    stage.setAttribute(Qt::WA_DontShowOnScreen);
    auto* shown = new TarnLanguagePicker(std::nullopt, context.language, false, {}, &stage);
    stage.show();
    auto* combo = shown->findChild<QComboBox*>(QStringLiteral("languagePickerList"));
    combo->showPopup();
    QApplication::processEvents();
    QWidget* popup = combo->view()->window();
    popup->resize(popup->width(), std::min(popup->height(), 420));
    list->setPixmap(popup->grab());
    combo->hidePopup();
    return ground;
}

std::unique_ptr<QWidget> versionBadges(PictureContext&) {
    return onGround({new TarnVersionBadge({"1.4.2", "57"}, false),
                     new TarnVersionBadge({"1.4.2", "57"}, true),
                     new TarnVersionBadge(TarnAppVersion::current(), true)});
}

} // namespace

QUILLER_PICTURE("design/glass-buttons", buttons);
QUILLER_PICTURE("design/glass-card", card);
QUILLER_PICTURE("design/toast-success",
                [](PictureContext& context) { return toast(context, false); });
QUILLER_PICTURE("design/toast-error", [](PictureContext& context) { return toast(context, true); });
QUILLER_PICTURE("design/brand-mark-24", [](PictureContext&) { return brandMarks(24); });
QUILLER_PICTURE("design/brand-mark-64", [](PictureContext&) { return brandMarks(64); });
QUILLER_PICTURE("design/brand-mark-256", [](PictureContext&) { return brandMarks(256); });
QUILLER_PICTURE("design/language-picker-closed", pickerClosed);
QUILLER_PICTURE("design/language-picker-open", pickerOpen);
QUILLER_PICTURE("design/version-badge", versionBadges);

} // namespace quiller::pictures
