#include "TarnKit/Design/TarnFeedbackSheet.h"

#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnFeedbackSheetParts.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnLanguageLayout.h"
#include "TarnKit/Design/TarnSheetParts.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/PlatformQt/QtClipboard.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/PlatformQt/QtFilePanels.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "TarnKit/PlatformQt/QtURLOpener.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

namespace tarn {

struct TarnFeedbackSheet::State {
    TarnFeedbackKind kind = TarnFeedbackKind::feature;
    std::string email;
    std::string senderName;
    std::string subject;
    std::string message;
    std::vector<TarnFeedbackScreenshot> screenshots;
    bool isSubmitting = false;
    std::optional<std::string> errorMessage;
    std::optional<std::string> statusHint;
    std::optional<TarnFeedbackReceipt> receipt;
};

namespace {

constexpr int kMaxScreenshots = static_cast<int>(TarnFeedbackService::maxScreenshots);
constexpr int kMaxScreenshotMB = 5;

QLabel* fieldLabel(const QString& text) {
    return sheetLabel(text, fonts::font(TarnTextStyle::caption, QFont::DemiBold),
                      TarnGlassTokens::textSecondary);
}

// A glass button with a symbol before its caption-font text.
TarnGlassButton* captionButton(const QString& text, std::string_view symbol,
                               const char* objectName) {
    auto* button = new TarnGlassButton(text);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFont(fonts::font(TarnTextStyle::caption));
    button->setCursor(Qt::PointingHandCursor);
    if (!symbol.empty())
        button->setSymbol(symbol);
    return button;
}

QWidget* column(QLabel* label, QWidget* input) {
    auto* box = new QWidget;
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    stack->addWidget(label);
    stack->addWidget(input);
    return box;
}

QLineEdit* textField(const char* objectName, const QString& placeholder) {
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(objectName));
    field->setPlaceholderText(placeholder);
    tarnGlassInputField(field, 6, 8, 5);
    return field;
}

// Shows `value` in `field` unless it already does (keeping cursor and undo).
void showText(QLineEdit* field, const std::string& value) {
    const QString shown = qt::toQString(value);
    if (field->text() == shown)
        return;
    const QSignalBlocker blocker(field);
    field->setText(shown);
}

// Takes a widget out of the sheet at once and deletes it once the event
// being handled is over: it may hold the button whose click this is.
void discard(QWidget* widget) {
    widget->hide();
    widget->setParent(nullptr);
    widget->deleteLater();
}

struct SharedRunners {
    std::shared_ptr<QtMainExecutor> main = std::make_shared<QtMainExecutor>();
    std::shared_ptr<ThreadBackgroundExecutor> background =
        std::make_shared<ThreadBackgroundExecutor>();
    // Exchanges still running are stopped and joined before the executor
    // they post to goes.
    ~SharedRunners() { background.reset(); }
};

} // namespace

TarnFeedbackSheetPorts TarnFeedbackSheetPorts::desktop() {
    static SharedRunners runners;
    TarnFeedbackSheetPorts ports;
    ports.urlOpener = std::make_shared<QtURLOpener>();
    ports.clipboardImagePNG = [] { return QtClipboard::imagePNG(); };
    ports.chooseImageFiles = [](QWidget* parent, const std::string& title, FilesChosen completion) {
        QtFilePanels::chooseImageFiles(parent, title, std::move(completion));
    };
    ports.submit = [](const TarnFeedbackSubmission& note, std::stop_token stop) {
        return TarnFeedbackService::submit(note, std::move(stop));
    };
    ports.main = runners.main;
    ports.background = runners.background;
    return ports;
}

TarnFeedbackSheet::TarnFeedbackSheet(std::string appName, TarnAppVersion version,
                                     TarnProductPalette palette, TarnLanguage language,
                                     std::optional<std::string> baseURL,
                                     std::function<void()> onClose, TarnFeedbackSheetPorts ports,
                                     QWidget* parent)
    : QWidget(parent), m_appName(std::move(appName)), m_version(std::move(version)),
      m_palette(palette), m_language(language), m_baseURL(std::move(baseURL)),
      m_onClose(std::move(onClose)), m_ports(std::move(ports)), m_state(std::make_unique<State>()) {
    setObjectName(QStringLiteral("feedbackSheet"));
    tarnLocaleEnvironment(this, language);
    tarnContentLayoutDirection(this, language);
    setMinimumSize(minimumWidth, minimumHeight);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* ground = new TarnGroundBackground(palette);
    outer->addWidget(ground);
    auto* groundLayout = new QVBoxLayout(ground);
    groundLayout->setContentsMargins(0, 0, 0, 0);

    QScrollArea* scroll = sheetScrollArea(QStringLiteral("feedbackScroll"));
    groundLayout->addWidget(scroll);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("feedbackContent"));
    content->setStyleSheet(QStringLiteral("#feedbackContent { background: transparent; }"));
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(20, 20, 20, 20);
    m_column->setSpacing(16);
    m_column->addWidget(headerRow());
    m_form = composerForm();
    m_column->addWidget(m_form);
    m_column->addStretch(1);
    scroll->setWidget(content);

    if (m_onClose) {
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        escape->setContext(Qt::WidgetWithChildrenShortcut);
        connect(escape, &QShortcut::activated, this, [this] { m_onClose(); });
    }
    refresh();
}

TarnFeedbackSheet::~TarnFeedbackSheet() = default;

TarnFeedbackKind TarnFeedbackSheet::kind() const {
    return m_state->kind;
}
const std::string& TarnFeedbackSheet::email() const {
    return m_state->email;
}
const std::string& TarnFeedbackSheet::senderName() const {
    return m_state->senderName;
}
const std::string& TarnFeedbackSheet::subject() const {
    return m_state->subject;
}
const std::string& TarnFeedbackSheet::message() const {
    return m_state->message;
}
const std::vector<TarnFeedbackScreenshot>& TarnFeedbackSheet::screenshots() const {
    return m_state->screenshots;
}
bool TarnFeedbackSheet::isSubmitting() const {
    return m_state->isSubmitting;
}
const std::optional<std::string>& TarnFeedbackSheet::errorMessage() const {
    return m_state->errorMessage;
}
const std::optional<std::string>& TarnFeedbackSheet::statusHint() const {
    return m_state->statusHint;
}
const std::optional<TarnFeedbackReceipt>& TarnFeedbackSheet::receipt() const {
    return m_state->receipt;
}

QWidget* TarnFeedbackSheet::headerRow() {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("feedbackHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(new TarnBrandMark(28, sheetBrandStyle(m_appName)), 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    QLabel* title =
        sheetLabel(sheetText("We continuously improve our programs by listening to you",
                             "Sizi dinleyerek programlarımızı sürekli geliştiriyoruz", m_language),
                   fonts::system(16, QFont::Bold), TarnColor::white(1.0));
    title->setObjectName(QStringLiteral("sheetTitle"));
    title->setWordWrap(true);
    texts->addWidget(title);
    const std::string en = "Spotted a bug in " + m_appName +
                           ", have a feature wish, or a new app idea? Share your email and an "
                           "optional screenshot.";
    const std::string tr = m_appName + " içinde bir hata mı gördünüz, özellik öneriniz ya da yeni "
                                       "bir program fikriniz mi var? E-postanız ve ekran "
                                       "görüntüsüyle bize yazın.";
    QLabel* subtitle =
        sheetLabel(sheetText(en, tr, m_language), fonts::font(TarnTextStyle::caption),
                   TarnGlassTokens::textSecondary);
    subtitle->setObjectName(QStringLiteral("sheetSubtitle"));
    subtitle->setWordWrap(true);
    texts->addWidget(subtitle);
    row->addLayout(texts, 1);

    if (m_onClose) {
        QToolButton* close = sheetCloseButton();
        connect(close, &QToolButton::clicked, this, [this] { m_onClose(); });
        row->addWidget(close, 0, Qt::AlignTop);
    }
    return header;
}

QWidget* TarnFeedbackSheet::composerForm() {
    auto* form = new QWidget;
    form->setObjectName(QStringLiteral("composerForm"));
    auto* stack = new QVBoxLayout(form);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(14);
    stack->addWidget(kindCard());
    stack->addWidget(detailsCard());
    stack->addWidget(screenshotsCard());

    m_errorRow = new TarnRoundedFill(QColor(), 10);
    QColor errorFill = qColor(TarnGlassTokens::danger);
    errorFill.setAlphaF(0.22f);
    static_cast<TarnRoundedFill*>(m_errorRow)->setFill(errorFill);
    m_errorRow->setObjectName(QStringLiteral("errorRow"));
    auto* errorLine = new QHBoxLayout(m_errorRow);
    errorLine->setContentsMargins(10, 10, 10, 10);
    errorLine->setSpacing(8);
    auto* icon = new QLabel;
    icon->setPixmap(
        symbolPixmap("exclamationmark.triangle.fill", qColor(TarnGlassTokens::warning), 12, 2.0));
    errorLine->addWidget(icon, 0, Qt::AlignVCenter);
    m_errorText = sheetLabel({}, fonts::font(TarnTextStyle::caption), TarnColor::white(1.0));
    m_errorText->setObjectName(QStringLiteral("errorText"));
    m_errorText->setWordWrap(true);
    errorLine->addWidget(m_errorText, 1);
    stack->addWidget(m_errorRow);

    stack->addWidget(actionRow());
    return form;
}

QWidget* TarnFeedbackSheet::kindCard() {
    QVBoxLayout* stack = nullptr;
    TarnGlassCard* card = sheetCard("kindCard", 14, 10, stack);
    stack->addWidget(fieldLabel(sheetText("What is this about?", "Konu türü", m_language)));
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(8);
    grid->setHorizontalSpacing(8);
    const QColor accent = qColor(productpalette::accentColor(m_palette));
    int position = 0;
    for (const TarnFeedbackKind kind : feedbackkind::allCases) {
        auto* chip = new feedbacksheet::KindChip(kind, m_language, accent);
        connect(chip, &QAbstractButton::clicked, this, [this, kind] {
            m_state->kind = kind;
            refresh();
        });
        grid->addWidget(chip, position / 2, position % 2);
        m_chips.push_back(chip);
        ++position;
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    stack->addLayout(grid);
    return card;
}

QWidget* TarnFeedbackSheet::detailsCard() {
    QVBoxLayout* stack = nullptr;
    TarnGlassCard* card = sheetCard("detailsCard", 14, 12, stack);

    m_email = textField("emailField", sheetText("you@example.com", "ornek@eposta.com", m_language));
    m_senderName = textField("nameField", sheetText("Optional", "Opsiyonel", m_language));
    m_subject = textField("subjectField", sheetText("Summarize in one line…",
                                                    "Konuyu tek cümlede özetleyin…", m_language));
    const auto bind = [this](QLineEdit* field, std::string State::*member) {
        connect(field, &QLineEdit::textEdited, this, [this, member](const QString& text) {
            (*m_state).*member = qt::toStdString(text);
        });
    };
    bind(m_email, &State::email);
    bind(m_senderName, &State::senderName);
    bind(m_subject, &State::subject);

    auto* pair = new QHBoxLayout;
    pair->setSpacing(10);
    pair->addWidget(
        column(fieldLabel(sheetText("Your Email *", "E-posta Adresiniz *", m_language)), m_email),
        1);
    pair->addWidget(
        column(fieldLabel(sheetText("Name (optional)", "Adınız (opsiyonel)", m_language)),
               m_senderName),
        1);
    stack->addLayout(pair);
    stack->addWidget(
        column(fieldLabel(sheetText("Short Title *", "Kısa Başlık *", m_language)), m_subject));

    auto* editorFrame = new TarnRoundedFill(qColor(TarnGlassTokens::surface1), 8);
    editorFrame->setFill(qColor(TarnGlassTokens::surface1), qColor(TarnGlassTokens::borderSubtle));
    editorFrame->setMinimumHeight(105);
    auto* editorLayout = new QVBoxLayout(editorFrame);
    editorLayout->setContentsMargins(6, 6, 6, 6);
    m_message = new QPlainTextEdit;
    m_message->setObjectName(QStringLiteral("messageEditor"));
    m_message->setFont(fonts::system(13));
    m_message->setFrameShape(QFrame::NoFrame);
    m_message->viewport()->setAutoFillBackground(false);
    m_message->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: transparent; color: %1; }")
            .arg(qColor(TarnGlassTokens::textPrimary).name(QColor::HexArgb)));
    m_message->setTabChangesFocus(true);
    // At least 105 points with its frame, and no taller until the sheet is.
    m_message->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    // Refreshes set the text under a signal blocker: every change seen here
    // is the user's.
    connect(m_message, &QPlainTextEdit::textChanged, this,
            [this] { m_state->message = qt::toStdString(m_message->toPlainText()); });
    editorLayout->addWidget(m_message);
    stack->addWidget(column(fieldLabel(sheetText("Details *", "Detaylar / Fikriniz *", m_language)),
                            editorFrame));
    return card;
}

QWidget* TarnFeedbackSheet::screenshotsCard() {
    QVBoxLayout* stack = nullptr;
    TarnGlassCard* card = sheetCard("screenshotsCard", 14, 10, stack);

    auto* header = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(symbolPixmap("photo.on.rectangle.angled", Qt::white, 12, 2.0));
    header->addWidget(icon);
    QLabel* title =
        sheetLabel(sheetText("Screenshots (optional, up to 5)",
                             "Ekran Görüntüleri (opsiyonel, en fazla 5)", m_language),
                   fonts::font(TarnTextStyle::caption, QFont::DemiBold), TarnColor::white(1.0));
    title->setMinimumWidth(40);
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    header->addWidget(title, 1);
    TarnGlassButton* paste =
        captionButton(sheetText("Paste Clipboard", "Panodan Yapıştır", m_language),
                      "doc.on.clipboard", "pasteScreenshotButton");
    connect(paste, &QAbstractButton::clicked, this, &TarnFeedbackSheet::pasteFromClipboard);
    header->addWidget(paste);
    TarnGlassButton* choose = captionButton(sheetText("Choose Image…", "Görsel Seç…", m_language),
                                            "plus.circle", "chooseScreenshotButton");
    connect(choose, &QAbstractButton::clicked, this, &TarnFeedbackSheet::pickScreenshotsFromDisk);
    header->addWidget(choose);
    stack->addLayout(header);

    m_statusHint =
        sheetLabel({}, fonts::font(TarnTextStyle::caption2), TarnGlassTokens::textSecondary);
    m_statusHint->setObjectName(QStringLiteral("statusHint"));
    m_statusHint->setWordWrap(true);
    stack->addWidget(m_statusHint);

    QScrollArea* strip = sheetScrollArea(QStringLiteral("screenshotStrip"), false);
    auto* tiles = new QWidget;
    tiles->setObjectName(QStringLiteral("screenshotTiles"));
    tiles->setStyleSheet(QStringLiteral("#screenshotTiles { background: transparent; }"));
    m_tiles = new QHBoxLayout(tiles);
    m_tiles->setContentsMargins(0, 0, 0, 0);
    m_tiles->setSpacing(10);
    m_tiles->addStretch(1);
    strip->setWidget(tiles);
    m_strip = strip;
    stack->addWidget(strip);
    return card;
}

QWidget* TarnFeedbackSheet::actionRow() {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("actionRow"));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    TarnGlassButton* browser = captionButton(
        sheetText("Open in Browser", "Tarayıcıda Aç", m_language), "safari", "openInBrowserButton");
    connect(browser, &QAbstractButton::clicked, this, [this] {
        if (m_ports.urlOpener)
            TarnFeedbackService::openInBrowser(*m_ports.urlOpener, m_appName, m_version,
                                               m_state->kind, m_language, m_baseURL);
    });
    line->addWidget(browser);
    line->addStretch(1);
    QLabel* version =
        sheetLabel(qt::toQString(m_appName + " v" + m_version.shortVersion),
                   fonts::font(TarnTextStyle::caption2, true), TarnGlassTokens::textMuted);
    version->setObjectName(QStringLiteral("versionLine"));
    line->addWidget(version);
    m_send = new feedbacksheet::SendButton(qColor(productpalette::accentColor(m_palette)));
    m_send->setObjectName(QStringLiteral("sendButton"));
    connect(m_send, &QAbstractButton::clicked, this, &TarnFeedbackSheet::submitFeedback);
    line->addWidget(m_send);
    return row;
}

QWidget* TarnFeedbackSheet::receiptCard(const TarnFeedbackReceipt& receipt) {
    QVBoxLayout* stack = nullptr;
    TarnGlassCard* card = sheetCard("receiptCard", 20, 12, stack);

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    auto* seal = new QLabel;
    seal->setPixmap(symbolPixmap("checkmark.seal.fill", qColor(TarnGlassTokens::success), 22, 2.0));
    titleRow->addWidget(seal);
    QLabel* title = sheetLabel(sheetText("Thank you for sharing!",
                                         "Zaman ayırıp yazdığınız için teşekkürler!", m_language),
                               fonts::font(TarnTextStyle::headline), TarnColor::white(1.0));
    title->setObjectName(QStringLiteral("receiptTitle"));
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    stack->addLayout(titleRow);

    // The service's own words, shown as they came.
    QLabel* message =
        sheetLabel(qt::toQString(receipt.message), fonts::font(TarnTextStyle::callout),
                   TarnGlassTokens::textSecondary);
    message->setObjectName(QStringLiteral("receiptMessage"));
    message->setWordWrap(true);
    stack->addWidget(message);

    auto* referenceRow = new QHBoxLayout;
    referenceRow->setSpacing(10);
    auto* chip = new TarnRoundedFill(qColor(TarnGlassTokens::surface2), 8);
    chip->setObjectName(QStringLiteral("referenceChip"));
    auto* chipLine = new QHBoxLayout(chip);
    chipLine->setContentsMargins(10, 5, 10, 5);
    QLabel* reference = sheetLabel(sheetText("Reference", "Takip Kodu", m_language) +
                                       QStringLiteral(": ") + qt::toQString(receipt.referenceCode),
                                   fonts::font(TarnTextStyle::caption, QFont::Bold, true),
                                   TarnGlassTokens::textPrimary);
    reference->setObjectName(QStringLiteral("referenceText"));
    reference->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chipLine->addWidget(reference);
    referenceRow->addWidget(chip);
    if (receipt.attachmentsCount >= 1) {
        QLabel* count =
            sheetLabel(QStringLiteral("\U0001F4F7 %1").arg(receipt.attachmentsCount),
                       fonts::font(TarnTextStyle::caption), TarnGlassTokens::textSecondary);
        count->setObjectName(QStringLiteral("attachmentsCount"));
        referenceRow->addWidget(count);
    }
    referenceRow->addStretch(1);
    stack->addLayout(referenceRow);

    auto* actions = new QHBoxLayout;
    actions->setContentsMargins(0, 4, 0, 0);
    TarnGlassButton* another =
        captionButton(sheetText("Send Another Note", "Yeni Bildirim Gönder", m_language), {},
                      "sendAnotherButton");
    connect(another, &QAbstractButton::clicked, this, &TarnFeedbackSheet::sendAnotherNote);
    actions->addWidget(another);
    actions->addStretch(1);
    if (m_onClose) {
        auto* done = new feedbacksheet::SendButton(qColor(productpalette::accentColor(m_palette)));
        done->setObjectName(QStringLiteral("doneButton"));
        done->setLabel(sheetText("Done", "Tamam", m_language));
        connect(done, &QAbstractButton::clicked, this, [this] { m_onClose(); });
        actions->addWidget(done);
    }
    stack->addLayout(actions);
    return card;
}

void TarnFeedbackSheet::submitFeedback() {
    // The button is disabled in the same step, but a second click may
    // already be queued behind the first.
    if (m_state->isSubmitting)
        return;
    m_state->errorMessage.reset();
    m_state->isSubmitting = true;
    TarnFeedbackSubmission note{
        m_appName,           m_version,        m_state->kind,    m_state->email,
        m_state->senderName, m_state->subject, m_state->message, m_state->screenshots,
        m_language,          m_baseURL};
    refresh();

    std::weak_ptr<void> alive = m_alive;
    auto job = [this, alive, note = std::move(note), submit = m_ports.submit,
                main = m_ports.main](std::stop_token stop) {
        std::optional<TarnFeedbackReceipt> receipt;
        std::optional<TarnFeedbackError> error;
        try {
            receipt = submit(note, std::move(stop));
        } catch (const TarnFeedbackError& failure) {
            error = failure;
        } catch (const std::exception& failure) {
            error = TarnFeedbackError::networkFailure(failure.what());
        }
        main->post(guarded(
            alive, [this, receipt = std::move(receipt), error = std::move(error)]() mutable {
                submitFinished(std::move(receipt), std::move(error));
            }));
    };
    try {
        // Never stopped: a note the user sent is delivered even when the sheet
        // closes before the reply; the liveness guard drops the result.
        (void)m_ports.background->start(std::move(job));
    } catch (const std::exception& failure) {
        submitFinished(std::nullopt, TarnFeedbackError::networkFailure(failure.what()));
    }
}

void TarnFeedbackSheet::submitFinished(std::optional<TarnFeedbackReceipt> receipt,
                                       std::optional<TarnFeedbackError> error) {
    m_state->isSubmitting = false;
    if (receipt)
        m_state->receipt = std::move(receipt);
    else if (error)
        m_state->errorMessage = error->errorDescription();
    refresh();
}

void TarnFeedbackSheet::pasteFromClipboard() {
    m_state->errorMessage.reset();
    if (m_state->screenshots.size() >= TarnFeedbackService::maxScreenshots) {
        m_state->errorMessage =
            TarnFeedbackError::tooManyScreenshots(kMaxScreenshots).errorDescription();
        refresh();
        return;
    }
    std::optional<std::string> png =
        m_ports.clipboardImagePNG ? m_ports.clipboardImagePNG() : std::nullopt;
    std::optional<TarnFeedbackScreenshot> pasted =
        png ? TarnFeedbackService::clipboardScreenshot(std::move(*png),
                                                       std::chrono::system_clock::now())
            : std::nullopt;
    if (!pasted) {
        m_state->statusHint = tarnText("No image found on the clipboard right now. Take a "
                                       "screenshot first, then click Paste.",
                                       "Panoda görsel bulunamadı. Önce ekran görüntüsü alıp "
                                       "ardından Panodan Yapıştır'a tıklayın.",
                                       m_language);
    } else if (pasted->data.size() > TarnFeedbackService::maxScreenshotBytes) {
        m_state->errorMessage =
            TarnFeedbackError::screenshotTooLarge(kMaxScreenshotMB).errorDescription();
    } else {
        m_state->screenshots.push_back(std::move(*pasted));
        m_state->statusHint = tarnText("Screenshot pasted from clipboard.",
                                       "Panodaki ekran görüntüsü eklendi.", m_language);
    }
    refresh();
}

void TarnFeedbackSheet::pickScreenshotsFromDisk() {
    m_state->errorMessage.reset();
    refresh();
    if (!m_ports.chooseImageFiles)
        return;
    std::weak_ptr<void> alive = m_alive;
    m_ports.chooseImageFiles(this, tarnText("Choose Image…", "Görsel Seç…", m_language),
                             [this, alive](std::vector<std::filesystem::path> files) {
                                 if (alive.lock())
                                     addPickedFiles(files);
                             });
}

void TarnFeedbackSheet::addPickedFiles(const std::vector<std::filesystem::path>& files) {
    using Outcome = TarnFeedbackService::ScreenshotFileResult::Outcome;
    for (const std::filesystem::path& file : files) {
        if (m_state->screenshots.size() >= TarnFeedbackService::maxScreenshots) {
            m_state->errorMessage =
                TarnFeedbackError::tooManyScreenshots(kMaxScreenshots).errorDescription();
            break;
        }
        TarnFeedbackService::ScreenshotFileResult read =
            TarnFeedbackService::readScreenshotFile(file);
        if (read.outcome == Outcome::tooLarge)
            m_state->errorMessage =
                TarnFeedbackError::screenshotTooLarge(kMaxScreenshotMB).errorDescription();
        else if (read.outcome == Outcome::added && read.screenshot)
            m_state->screenshots.push_back(std::move(*read.screenshot));
        // Unreadable and empty files are passed over without a word.
    }
    refresh();
}

void TarnFeedbackSheet::sendAnotherNote() {
    m_state->receipt.reset();
    m_state->subject.clear();
    m_state->message.clear();
    m_state->screenshots.clear();
    m_state->errorMessage.reset();
    refresh();
}

void TarnFeedbackSheet::rebuildStrip() {
    std::vector<UUID> identities;
    identities.reserve(m_state->screenshots.size());
    for (const TarnFeedbackScreenshot& screenshot : m_state->screenshots)
        identities.push_back(screenshot.id);
    m_strip->setVisible(!identities.empty());
    if (identities == m_shownTiles)
        return;
    m_shownTiles = std::move(identities);
    // A tile may be the sender of the click being handled: it goes later.
    while (m_tiles->count() > 0) {
        QLayoutItem* item = m_tiles->takeAt(0);
        if (QWidget* tile = item->widget())
            discard(tile);
        delete item;
    }
    int tallest = 0;
    for (const TarnFeedbackScreenshot& screenshot : m_state->screenshots) {
        auto* tile = new feedbacksheet::ScreenshotTile(screenshot, [this, id = screenshot.id] {
            std::erase_if(m_state->screenshots,
                          [&id](const TarnFeedbackScreenshot& shot) { return shot.id == id; });
            refresh();
        });
        tallest = std::max(tallest, tile->sizeHint().height());
        m_tiles->addWidget(tile, 0, Qt::AlignVCenter);
        tile->show();
    }
    m_tiles->addStretch(1);
    m_strip->setFixedHeight(tallest);
}

void TarnFeedbackSheet::refresh() {
    const State& state = *m_state;
    for (feedbacksheet::KindChip* chip : m_chips)
        chip->setSelected(chip->kind() == state.kind);
    showText(m_email, state.email);
    showText(m_senderName, state.senderName);
    showText(m_subject, state.subject);
    if (m_message->toPlainText() != qt::toQString(state.message)) {
        const QSignalBlocker blocker(m_message);
        m_message->setPlainText(qt::toQString(state.message));
    }
    m_statusHint->setVisible(state.statusHint.has_value());
    m_statusHint->setText(state.statusHint ? qt::toQString(*state.statusHint) : QString());
    rebuildStrip();
    m_errorRow->setVisible(state.errorMessage.has_value());
    m_errorText->setText(state.errorMessage ? qt::toQString(*state.errorMessage) : QString());
    m_send->setBusy(state.isSubmitting);
    m_send->setLabel(state.isSubmitting
                         ? sheetText("Sending…", "Gönderiliyor…", m_language)
                         : sheetText("Send Feedback", "Geri Bildirimi Gönder", m_language));

    if (state.receipt.has_value() != (m_receiptCard != nullptr)) {
        if (m_receiptCard) {
            discard(m_receiptCard);
            m_receiptCard = nullptr;
        } else {
            m_receiptCard = receiptCard(*state.receipt);
            m_column->insertWidget(m_column->indexOf(m_form), m_receiptCard);
            m_receiptCard->show();
        }
        m_form->setVisible(!state.receipt);
    }
}

QWidget* presentFeedbackSheet(const std::string& appName, const TarnAppVersion& version,
                              TarnProductPalette palette, TarnLanguage language,
                              TarnFeedbackSheetPorts ports) {
    static QPointer<QWidget> shown;
    if (shown) {
        shown->showNormal();
        shown->raise();
        shown->activateWindow();
        return shown;
    }
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("feedbackWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(
        sheetText("Send Feedback & Ideas", "Geri Bildirim & Fikir Gönder", language));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new TarnFeedbackSheet(
        appName, version, palette, language, std::nullopt, [window] { window->close(); },
        std::move(ports)));
    window->resize(620, 760);
    shown = window;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace tarn
