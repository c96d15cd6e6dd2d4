#include "QuillerApp/Views/EnvironmentsAndSettingsView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnLanguagePicker.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <string_view>

namespace quiller {

namespace {

using Field = QuillerViewModelField;
namespace tokens = tarn::TarnGlassTokens;
namespace bindings = tarn::bindings;
namespace fonts = tarn::fonts;

// The texts that name where secrets live and how the application starts with
// the session: on this system the keyring and the autostart entry.
struct PlatformTexts {
    static constexpr std::string_view noteEN =
        "Variables marked Secret are stored exclusively in the system keyring \u2014 never "
        "written in plaintext to workspace.json.";
    static constexpr std::string_view noteTR =
        "Gizli olarak işaretlenen değişkenler yalnızca sistem anahtarlığında saklanır, "
        "workspace.json dosyasına açık metin yazılmaz.";
    static constexpr std::string_view secretToggleEN = "Keyring Secret";
    static constexpr std::string_view secretToggleTR = "Anahtarlık Gizli";
    static constexpr std::string_view launchAtLoginEN = "Launch at Login";
    static constexpr std::string_view launchAtLoginTR = "Oturum Açılışında Başlat";
    // Eight bullets, then where the value is.
    static constexpr std::string_view secretMask =
        "\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022 (Keyring)";
};

// A glass button labelled with a text and a symbol.
tarn::TarnGlassButton* symbolButton(const char* name, std::string_view symbol, QWidget* parent) {
    auto* button = new tarn::TarnGlassButton(QString(), false, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setIcon(tarn::symbolIcon(symbol, tarn::qColor(tokens::textPrimary), 13));
    button->setIconSize(QSize(13, 13));
    return button;
}

} // namespace

QString EnvironmentsAndSettingsView::secretMask() {
    return tarn::qt::toQString(PlatformTexts::secretMask);
}

EnvironmentsAndSettingsView::EnvironmentsAndSettingsView(QuillerViewModel& model,
                                                         ViewModelBridge& bridge, QWidget* parent)
    : EnvironmentsAndSettingsView(model, bridge, tarn::TarnLanguagePreference::standard(), parent) {
}

EnvironmentsAndSettingsView::EnvironmentsAndSettingsView(QuillerViewModel& model,
                                                         ViewModelBridge& bridge,
                                                         tarn::TarnLanguagePreference& preference,
                                                         QWidget* parent)
    : QWidget(parent), m_model(model), m_preference(preference), m_accent(studioAccent()) {
    setObjectName(QStringLiteral("EnvironmentsAndSettingsView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("environmentsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(22, 22, 22, 22);
    stack->setSpacing(16);
    stack->addWidget(buildEnvironmentCard());
    stack->addWidget(buildSettingsCard());
    stack->addStretch(1);
    scroll->setWidget(content);
    // setWidget() turns the background on; the ground shows through instead.
    content->setAutoFillBackground(false);
    outer->addWidget(scroll);

    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { refresh(&changes); });
    refresh(nullptr);
}

QWidget* EnvironmentsAndSettingsView::buildEnvironmentCard() {
    auto [card, content, column] = makeCardColumn("environmentCard", 18, 16, 12);
    m_environmentCard = card;

    m_heading =
        makeLabel(fonts::system(15, QFont::Bold), tarn::qColor(tokens::textPrimary), content);
    m_heading->setObjectName(QStringLiteral("environmentHeading"));
    column->addWidget(m_heading);

    m_note = makeLabel(fonts::system(12), tarn::qColor(tokens::textSecondary), content);
    m_note->setObjectName(QStringLiteral("secretNote"));
    m_note->setWordWrap(true);
    column->addWidget(m_note);

    auto* dotEnvRow = new QHBoxLayout;
    dotEnvRow->setSpacing(8);
    m_importFile = symbolButton("importFileButton", "doc.badge.plus", content);
    connect(m_importFile, &QAbstractButton::clicked, this,
            [this] { m_model.importDotEnvFromFile(); });
    m_importClipboard = symbolButton("importClipboardButton", "doc.on.clipboard", content);
    connect(m_importClipboard, &QAbstractButton::clicked, this,
            [this] { m_model.importDotEnvFromClipboard(); });
    auto* divider = new QFrame(content);
    divider->setObjectName(QStringLiteral("dotEnvDivider"));
    divider->setFrameShape(QFrame::VLine);
    divider->setFixedSize(1, 18);
    divider->setStyleSheet(QStringLiteral("background: %1; border: none;")
                               .arg(tarn::qColor(tokens::borderSubtle).name(QColor::HexArgb)));
    m_exportMasked = symbolButton("exportMaskedButton", "lock.doc", content);
    // The clipboard export masks secrets whatever the toggle says.
    connect(m_exportMasked, &QAbstractButton::clicked, this,
            [this] { m_model.exportDotEnvToClipboard(true); });
    m_exportFile = symbolButton("exportFileButton", "square.and.arrow.up", content);
    connect(m_exportFile, &QAbstractButton::clicked, this,
            [this] { m_model.exportDotEnvToFile(m_form.exportMaskSecrets); });
    m_maskToggle = makeToggle(tarn::qColor(tokens::textSecondary), content);
    m_maskToggle->setObjectName(QStringLiteral("maskSecretsToggle"));
    m_maskToggle->setFont(fonts::system(11.5));
    m_maskToggle->setChecked(m_form.exportMaskSecrets);
    bindings::bindToggle(m_maskToggle, [this](bool on) { m_form.exportMaskSecrets = on; });
    for (QWidget* widget :
         {static_cast<QWidget*>(m_importFile), static_cast<QWidget*>(m_importClipboard),
          static_cast<QWidget*>(divider), static_cast<QWidget*>(m_exportMasked),
          static_cast<QWidget*>(m_exportFile), static_cast<QWidget*>(m_maskToggle)})
        dotEnvRow->addWidget(widget, 0, Qt::AlignVCenter);
    dotEnvRow->addStretch(1);
    column->addLayout(dotEnvRow);

    auto* addRow = new QHBoxLayout;
    m_keyField = makeField(QStringLiteral("variableName"), content);
    m_keyField->setObjectName(QStringLiteral("variableKeyField"));
    bindings::bindLineEdit(m_keyField, [this](const std::string& text) { m_form.key = text; });
    m_valueField = makeField(QStringLiteral("value"), content);
    m_valueField->setObjectName(QStringLiteral("variableValueField"));
    bindings::bindLineEdit(m_valueField, [this](const std::string& text) { m_form.value = text; });
    m_secretToggle = makeToggle(tarn::qColor(tokens::textSecondary), content);
    m_secretToggle->setObjectName(QStringLiteral("secretToggle"));
    bindings::bindToggle(m_secretToggle, [this](bool on) { m_form.isSecret = on; });
    m_addButton = new tarn::TarnPrimaryButton(QString(), content);
    m_addButton->setObjectName(QStringLiteral("addVariableButton"));
    connect(m_addButton, &QAbstractButton::clicked, this, [this] { addVariable(); });
    addRow->addWidget(m_keyField, 1);
    addRow->addWidget(m_valueField, 1);
    addRow->addWidget(m_secretToggle);
    addRow->addWidget(m_addButton);
    column->addLayout(addRow);

    // The variable rows follow as direct children of the card's column.
    m_variableRows = std::make_unique<KeyedRowStack>(column, column->count());
    return card;
}

QWidget* EnvironmentsAndSettingsView::buildSettingsCard() {
    auto [card, content, column] = makeCardColumn("settingsCard", 18, 16, 12);

    m_launchToggle = makeToggle(tarn::qColor(tokens::textPrimary), content);
    m_launchToggle->setObjectName(QStringLiteral("launchAtLoginToggle"));
    bindings::bindToggle(m_launchToggle, [this](bool on) {
        m_model.toggleLaunchAtLogin(on);
        // The state the platform reports, which is the old one after a refusal.
        bindings::refresh(m_launchToggle, m_model.launchAtLogin());
    });
    column->addWidget(m_launchToggle, 0, Qt::AlignLeft);

    auto* languageRow = new QHBoxLayout;
    m_languageLabel = makeLabel(fonts::system(13), tarn::qColor(tokens::textPrimary), content);
    m_languageLabel->setObjectName(QStringLiteral("languageLabel"));
    m_picker = new tarn::TarnLanguagePicker(
        std::nullopt, m_model.language(), false,
        [this](tarn::TarnLanguage language) { chooseLanguage(language); }, m_preference, content);
    m_picker->setObjectName(QStringLiteral("languagePicker"));
    languageRow->addWidget(m_languageLabel);
    languageRow->addStretch(1);
    languageRow->addWidget(m_picker);
    column->addLayout(languageRow);
    return card;
}

void EnvironmentsAndSettingsView::addVariable() {
    m_model.addVariableToActiveEnvironment(m_form.key, m_form.value, m_form.isSecret);
    // Cleared whether or not a row was added; the secret flag stays so that
    // several secrets can go in one after another.
    m_form.key.clear();
    m_form.value.clear();
    bindings::refresh(m_keyField, m_form.key);
    bindings::refresh(m_valueField, m_form.value);
}

void EnvironmentsAndSettingsView::chooseLanguage(tarn::TarnLanguage language) {
    // The model first, so every open screen changes its texts at once; then
    // the stored preference, which announces the change.
    m_model.setLanguage(language);
    m_preference.setCurrent(language);
}

const APIEnvironmentProfile* EnvironmentsAndSettingsView::activeEnvironment() const {
    const auto& activeID = m_model.activeEnvironmentID();
    if (!activeID)
        return nullptr;
    const auto& environments = m_model.environments();
    const auto found =
        std::find_if(environments.begin(), environments.end(),
                     [&](const APIEnvironmentProfile& e) { return e.id == *activeID; });
    return found == environments.end() ? nullptr : &*found;
}

void EnvironmentsAndSettingsView::refresh(const ViewModelChanges* changes) {
    if (needsRefresh(changes, {Field::language}))
        retranslate();
    if (needsRefresh(changes, {Field::environments, Field::activeEnvironmentID, Field::language}))
        refreshEnvironment();
    if (needsRefresh(changes, {Field::launchAtLogin}))
        bindings::refresh(m_launchToggle, m_model.launchAtLogin());
    if (needsRefresh(changes, {Field::language}))
        m_picker->setLanguage(m_model.language());
}

void EnvironmentsAndSettingsView::retranslate() {
    const tarn::TarnLanguage language = m_model.language();
    const auto set = [](QAbstractButton* button, const QString& text) {
        if (button->text() == text)
            return;
        button->setText(text);
        button->updateGeometry();
    };
    m_note->setText(viewText(PlatformTexts::noteEN, PlatformTexts::noteTR, language));
    set(m_importFile, viewText("Import .env (File)", ".env İçe Aktar (Dosyadan)", language));
    set(m_importClipboard,
        viewText("Import .env (Clipboard)", ".env İçe Aktar (Panodan)", language));
    set(m_exportMasked, viewText("Export .env (Masked)", ".env Dışa Aktar (Maskeli)", language));
    set(m_exportFile, viewText("Export .env (File)", ".env Dışa Aktar (Dosyaya)", language));
    set(m_maskToggle, viewText("Mask Secrets", "Gizlileri Maskele", language));
    set(m_secretToggle,
        viewText(PlatformTexts::secretToggleEN, PlatformTexts::secretToggleTR, language));
    set(m_addButton, viewText("Add", "Ekle", language));
    set(m_launchToggle,
        viewText(PlatformTexts::launchAtLoginEN, PlatformTexts::launchAtLoginTR, language));
    m_languageLabel->setText(viewText("Interface Language", "Arayüz Dili", language));
}

void EnvironmentsAndSettingsView::refreshEnvironment() {
    const APIEnvironmentProfile* environment = activeEnvironment();
    m_environmentCard->setVisible(environment != nullptr);
    static const std::vector<KeyValueRow> none;
    const std::vector<KeyValueRow>& variables = environment ? environment->variables : none;
    if (environment) {
        m_heading->setText(
            viewText("Environment Variables", "Ortam Değişkenleri", m_model.language()) +
            QStringLiteral(" \u2014 ") + tarn::qt::toQString(environment->name));
    }

    const auto setTexts = [](QWidget* row, const KeyValueRow& variable) {
        bindings::refresh(row->findChild<QLabel*>(QStringLiteral("variableKey")),
                          "{{" + variable.key + "}}");
        bindings::refresh(row->findChild<QLabel*>(QStringLiteral("variableValue")),
                          variable.isSecret ? PlatformTexts::secretMask : variable.value);
    };
    m_variableRows->sync(
        variables, [](const KeyValueRow& variable) { return variable.id.string(); },
        [this, setTexts](const KeyValueRow& variable) {
            auto* row = new tarn::TarnRoundedFill(tarn::qColor(tokens::surface2), 8);
            row->setContentsMargins(8, 8, 8, 8);
            row->setObjectName(QStringLiteral("variableRow"));
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(0, 0, 0, 0);
            auto* key = makeLabel(fonts::system(12, QFont::Bold, true), m_accent, row);
            key->setObjectName(QStringLiteral("variableKey"));
            auto* value = makeLabel(fonts::system(12, QFont::Normal, true),
                                    tarn::qColor(tokens::textPrimary), row);
            value->setObjectName(QStringLiteral("variableValue"));
            QToolButton* remove = makeTrashButton(row);
            remove->setObjectName(QStringLiteral("removeVariableButton"));
            const tarn::UUID id = variable.id;
            connect(remove, &QAbstractButton::clicked, this,
                    [this, id] { m_model.removeVariable(id); });
            line->addWidget(key);
            line->addWidget(value);
            line->addStretch(1);
            line->addWidget(remove);
            setTexts(row, variable);
            return row;
        },
        setTexts);
}

} // namespace quiller
