#include "QuillerApp/Views/HistoryEntryInspector.h"

#include "QuillerApp/Views/HistoryTimelineList.h"
#include "QuillerApp/Views/HistoryTimelinePresentation.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quiller {

namespace {

namespace fonts = tarn::fonts;
namespace tokens = tarn::TarnGlassTokens;
namespace presentation = HistoryTimelinePresentation;
using tarn::qt::toQString;

QColor token(const tarn::TarnColor& colour) {
    return tarn::qColor(colour);
}

QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// The dark box of the URL, the payload and the preview, padded 8.
tarn::TarnRoundedFill* darkBox(QWidget* content, QWidget* parent) {
    auto* box = new tarn::TarnRoundedFill(token(tarn::TarnColor::black(0.28)), 8, parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(content);
    return box;
}

void setIfChanged(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

} // namespace

HistoryEntryInspector::HistoryEntryInspector(const QColor& accent, QWidget* parent)
    : QWidget(parent), m_accent(accent) {
    setObjectName(QStringLiteral("historyInspector"));
    auto* stack = column(this, 12);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_badge = new CapsuleLabel(fonts::system(10.5, QFont::Bold, true), 7, 3, this);
    m_badge->setObjectName(QStringLiteral("inspectorBadge"));
    m_name = makeLabel(fonts::system(14, QFont::Bold), token(tokens::textPrimary), this);
    m_name->setObjectName(QStringLiteral("inspectorName"));
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_copy = new tarn::TarnGlassButton(QString(), false, this);
    m_copy->setObjectName(QStringLiteral("inspectorCopyURL"));
    m_copy->setIcon(tarn::symbolIcon("doc.on.doc", token(tokens::textPrimary), 14));
    m_copy->setIconSize({14, 14});
    m_load = new tarn::TarnPrimaryButton(QString(), this);
    m_load->setObjectName(QStringLiteral("inspectorLoad"));
    header->addWidget(m_badge);
    header->addWidget(m_name, 1);
    header->addWidget(m_copy);
    header->addWidget(m_load);
    stack->addLayout(header);

    auto* metrics = new QHBoxLayout;
    metrics->setSpacing(12);
    m_method = makeLabel(fonts::system(11, QFont::Bold, true), accent, this);
    m_method->setObjectName(QStringLiteral("inspectorMethod"));
    m_duration = makeLabel(fonts::system(11, QFont::DemiBold, true), accent, this);
    m_duration->setObjectName(QStringLiteral("inspectorDuration"));
    m_bytes = makeLabel(fonts::system(11, QFont::Normal, true), token(tokens::textSecondary), this);
    m_bytes->setObjectName(QStringLiteral("inspectorBytes"));
    m_date = makeLabel(fonts::system(10.5, QFont::Normal, true), token(tokens::textMuted), this);
    m_date->setObjectName(QStringLiteral("inspectorDate"));
    metrics->addWidget(m_method);
    metrics->addWidget(m_duration);
    metrics->addWidget(m_bytes);
    metrics->addStretch(1);
    metrics->addWidget(m_date);
    stack->addLayout(metrics);

    m_url = makeLabel(fonts::system(11.5, QFont::Normal, true), token(tokens::textPrimary));
    m_url->setObjectName(QStringLiteral("inspectorURL"));
    m_url->setTextFormat(Qt::PlainText);
    m_url->setWordWrap(true);
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_url->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    stack->addWidget(darkBox(m_url, this));

    auto* sections = new QWidget;
    auto* sectionStack = column(sections, 12);
    const QFont captionFont = fonts::system(11, QFont::DemiBold);

    m_headersSection = new QWidget(sections);
    m_headersSection->setObjectName(QStringLiteral("inspectorHeaders"));
    auto* headers = column(m_headersSection, 4);
    m_headersCaption = makeLabel(captionFont, token(tokens::textSecondary), m_headersSection);
    headers->addWidget(m_headersCaption);
    m_headerRows = new QVBoxLayout;
    m_headerRows->setSpacing(4);
    headers->addLayout(m_headerRows);
    sectionStack->addWidget(m_headersSection);

    m_payloadSection = new QWidget(sections);
    m_payloadSection->setObjectName(QStringLiteral("inspectorPayload"));
    auto* payload = column(m_payloadSection, 4);
    m_payloadCaption = makeLabel(captionFont, token(tokens::textSecondary), m_payloadSection);
    m_payloadCaption->setObjectName(QStringLiteral("inspectorPayloadCaption"));
    m_payload =
        new FittedTextBox(fonts::system(11.5, QFont::Normal, true), token(tokens::textPrimary));
    m_payload->setObjectName(QStringLiteral("inspectorPayloadText"));
    payload->addWidget(m_payloadCaption);
    payload->addWidget(darkBox(m_payload, m_payloadSection));
    sectionStack->addWidget(m_payloadSection);

    auto* result = new QWidget(sections);
    result->setObjectName(QStringLiteral("inspectorResult"));
    auto* resultStack = column(result, 4);
    m_resultCaption = makeLabel(captionFont, token(tokens::textSecondary), result);
    m_resultCaption->setObjectName(QStringLiteral("inspectorResultCaption"));
    m_result =
        new FittedTextBox(fonts::system(11.5, QFont::Normal, true), token(tokens::textPrimary));
    m_result->setObjectName(QStringLiteral("inspectorResultText"));
    resultStack->addWidget(m_resultCaption);
    resultStack->addWidget(darkBox(m_result, result));
    sectionStack->addWidget(result);
    sectionStack->addStretch(1);
    QScrollArea* scroll = makeClearScrollArea(sections, this);
    scroll->setObjectName(QStringLiteral("inspectorSections"));
    stack->addWidget(scroll, 1);

    connect(m_copy, &QAbstractButton::clicked, this, &HistoryEntryInspector::copyURLRequested);
    connect(m_load, &QAbstractButton::clicked, this, &HistoryEntryInspector::loadRequested);
}

void HistoryEntryInspector::showEntry(const RequestHistoryEntry& entry,
                                      tarn::TarnLanguage language) {
    if (m_entry == entry && m_language == language)
        return;
    const bool headersChanged =
        !m_entry || m_entry->requestSnapshot.headers != entry.requestSnapshot.headers;
    m_entry = entry;
    m_language = language;

    const presentation::StatusBadge badge = presentation::statusBadge(entry);
    m_badge->setCapsule(toQString(badge.text), Qt::white,
                        withOpacity(roleColour(badge.role, m_accent), 0.32));
    setIfChanged(m_name, toQString(entry.requestName));
    m_load->setText(viewText("Load Request", "İsteği Yükle", language));

    setIfChanged(m_method, toQString(rawValue(entry.method)));
    setTextColour(m_method, roleColour(presentation::methodColour(entry.method), m_accent));
    setIfChanged(m_duration, toQString(presentation::durationText(entry.durationMs)));
    setIfChanged(m_bytes, toQString(presentation::formatBytes(entry.responseBytes)));
    setIfChanged(m_date, historyFullDateText(entry.timestamp));
    setIfChanged(m_url, toQString(entry.sanitizedURL));

    m_headersSection->setVisible(!entry.requestSnapshot.headers.empty());
    m_headersCaption->setText(
        viewText("Sanitized Request Headers", "Maskelenmiş İstek Başlıkları", language));
    if (headersChanged)
        rebuildHeaders(entry);

    const RedactedRequestSnapshot& snapshot = entry.requestSnapshot;
    m_payloadSection->setVisible(!snapshot.bodyText.empty());
    const QString kind = toQString(label(snapshot.bodyKind));
    m_payloadCaption->setText(viewText("Request Payload (", "İstek Gövdesi (", language) + kind +
                              QLatin1Char(')'));
    m_payload->setText(toQString(snapshot.bodyText));

    const bool failed = presentation::isFailed(entry);
    m_resultCaption->setText(failed ? viewText("Execution Error", "Çalıştırma Hatası", language)
                                    : viewText("Response Preview (first 400 chars)",
                                               "Yanıt Önizlemesi (ilk 400 karakter)", language));
    setTextColour(m_resultCaption, failed ? token(tokens::danger) : token(tokens::textSecondary));
    const std::string& shown = entry.errorMessage ? *entry.errorMessage : entry.responseSnippet;
    m_result->setText(shown.empty() ? QStringLiteral("—") : toQString(shown));
    m_result->setTextColour(failed ? token(tokens::danger) : token(tokens::textPrimary));
}

void HistoryEntryInspector::rebuildHeaders(const RequestHistoryEntry& entry) {
    while (QLayoutItem* item = m_headerRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QFont keyFont = fonts::system(11, QFont::Bold, true);
    const QFont valueFont = fonts::system(11, QFont::Normal, true);
    for (const KeyValueRow& header : entry.requestSnapshot.headers) {
        auto* row = new tarn::TarnRoundedFill(token(tokens::surface2), 6, m_headersSection);
        row->setObjectName(QStringLiteral("inspectorHeaderRow"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(8, 4, 8, 4);
        line->setSpacing(6);
        auto* key = makeLabel(keyFont, m_accent, row);
        key->setTextFormat(Qt::PlainText);
        key->setText(toQString(header.key));
        auto* value = makeLabel(
            valueFont, header.isSecret ? token(tokens::warning) : token(tokens::textPrimary), row);
        value->setObjectName(QStringLiteral("inspectorHeaderValue"));
        value->setTextFormat(Qt::PlainText);
        value->setText(toQString(header.value));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line->addWidget(key);
        line->addWidget(value, 1);
        m_headerRows->addWidget(row);
    }
}

} // namespace quiller
