#include "QuillerApp/Views/GraphQLSchemaExplorerDrawer.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/GlassListView.h"
#include "QuillerApp/Views/GraphQLOperationList.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace quiller {

using Field = QuillerViewModelField;
using namespace tarn;

// --- Presentation ------------------------------------------------------------------

namespace graphQLExplorer {

std::vector<GraphQLRootKind> availableRootKinds(const GraphQLSchemaSummary& schema) {
    std::vector<GraphQLRootKind> kinds{GraphQLRootKind::query, GraphQLRootKind::mutation};
    if (operationCount(schema, GraphQLRootKind::subscription) > 0)
        kinds.push_back(GraphQLRootKind::subscription);
    return kinds;
}

std::size_t operationCount(const GraphQLSchemaSummary& schema, GraphQLRootKind kind) {
    return static_cast<std::size_t>(std::count_if(
        schema.operations.begin(), schema.operations.end(),
        [kind](const GraphQLOperationField& field) { return field.rootKind == kind; }));
}

std::string kindButtonTitle(GraphQLRootKind kind, std::size_t count) {
    return std::string(rawValue(kind)) + " (" + std::to_string(count) + ")";
}

std::string summaryText(const GraphQLSchemaSummary& schema) {
    return std::to_string(schema.operations.size()) + " ops \u00B7 " +
           std::to_string(schema.typesByName.size()) + " types";
}

std::optional<std::string> argumentsText(const GraphQLOperationField& operation) {
    if (operation.args.empty())
        return std::nullopt;
    std::string text = "(";
    for (std::size_t i = 0; i < operation.args.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += operation.args[i].name + ": " + operation.args[i].typeSignature;
    }
    return text + ")";
}

std::optional<std::string> descriptionText(const GraphQLOperationField& operation) {
    if (!operation.description ||
        text::trimmingWhitespaceAndNewlines(*operation.description).empty())
        return std::nullopt;
    return operation.description;
}

} // namespace graphQLExplorer

namespace {

constexpr int kSpinnerFrames = 12;
constexpr int kSpinnerInterval = 80; // ms per frame

QLabel* symbolLabel(std::string_view name, const QColor& colour, int size) {
    auto* label = new QLabel;
    label->setPixmap(symbolIcon(name, colour, size).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

// One frame of the small progress spinner: an open ring, turned by the step.
QIcon spinnerIcon(int step, const QColor& colour, int size) {
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 1.8);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF ring(1.5, 1.5, size - 3, size - 3);
    painter.drawArc(ring, -step * (360 / kSpinnerFrames) * 16, 270 * 16);
    return QIcon(pixmap);
}

} // namespace

// --- The drawer ----------------------------------------------------------------------

GraphQLSchemaExplorerDrawer::GraphQLSchemaExplorerDrawer(QuillerViewModel& model,
                                                         ViewModelBridge& bridge, QWidget* parent)
    : QWidget(parent), m_model(model), m_accent(studioAccent()) {
    setObjectName(QStringLiteral("GraphQLSchemaExplorerDrawer"));
    build();
    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { refresh(&changes); });
    refresh(nullptr);
}

GraphQLSchemaExplorerDrawer::~GraphQLSchemaExplorerDrawer() = default;

QString GraphQLSchemaExplorerDrawer::text(const char* en, const char* tr) const {
    return viewText(en, tr, m_model.language());
}

void GraphQLSchemaExplorerDrawer::setAccent(const QColor& accent) {
    m_accent = accent;
    m_emptySymbol->setPixmap(symbolIcon("wand.and.stars",
                                        QColor::fromRgbF(accent.redF(), accent.greenF(),
                                                         accent.blueF(), accent.alphaF() * 0.8),
                                        28)
                                 .pixmap(28, 28));
    auto* delegate = static_cast<GraphQLOperationDelegate*>(m_list->itemDelegate());
    delegate->setAccent(accent);
    m_list->viewport()->update();
}

void GraphQLSchemaExplorerDrawer::build() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new TarnGlassCard(14, 14);
    outer->addWidget(card);
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    card->setContent(body);

    // Header: the title with its symbol, and the close button.
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_titleIcon = symbolLabel("point.3.connected.trianglepath.dotted",
                              qColor(TarnGlassTokens::textPrimary), 13);
    m_title = makeLabel(fonts::system(13, QFont::Bold), qColor(TarnGlassTokens::textPrimary));
    m_title->setObjectName(QStringLiteral("graphQLDrawerTitle"));
    auto* titleLabel = new QHBoxLayout;
    titleLabel->setSpacing(6);
    titleLabel->addWidget(m_titleIcon);
    titleLabel->addWidget(m_title);
    header->addLayout(titleLabel);
    header->addStretch(1);
    m_closeButton = new QToolButton;
    m_closeButton->setObjectName(QStringLiteral("graphQLDrawerClose"));
    m_closeButton->setIcon(symbolIcon("xmark", qColor(TarnGlassTokens::textSecondary), 11));
    m_closeButton->setIconSize(QSize(11, 11));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setCursor(Qt::PointingHandCursor);
    m_closeButton->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; padding: 2px; }"));
    connect(m_closeButton, &QToolButton::clicked, this,
            [this] { m_model.setShowGraphQLSchemaExplorer(false); });
    header->addWidget(m_closeButton);
    column->addLayout(header);

    // Action row: introspect, and the schema's size once there is one.
    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_introspectButton = new TarnPrimaryButton(QString());
    m_introspectButton->setObjectName(QStringLiteral("graphQLIntrospectButton"));
    m_introspectButton->setIconSize(QSize(13, 13));
    connect(m_introspectButton, &QAbstractButton::clicked, this,
            [this] { m_model.fetchGraphQLSchema(std::nullopt); });
    actions->addWidget(m_introspectButton);
    m_spinner = new QTimer(this);
    m_spinner->setInterval(kSpinnerInterval);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerStep = (m_spinnerStep + 1) % kSpinnerFrames;
        m_introspectButton->setIcon(spinnerIcon(m_spinnerStep, qColor(TarnColor::black(0.9)), 13));
    });
    m_summary =
        makeLabel(fonts::system(10.5, QFont::DemiBold, true), qColor(TarnGlassTokens::textMuted));
    m_summary->setObjectName(QStringLiteral("graphQLSchemaSummary"));
    actions->addWidget(m_summary);
    actions->addStretch(1);
    column->addLayout(actions);

    // Error box.
    m_errorBox = new QWidget;
    m_errorBox->setObjectName(QStringLiteral("graphQLErrorBox"));
    m_errorBox->setAttribute(Qt::WA_StyledBackground);
    const QColor danger = qColor(TarnGlassTokens::danger);
    m_errorBox->setStyleSheet(
        QStringLiteral("#graphQLErrorBox { background: rgba(%1, %2, %3, 0.14); "
                       "border-radius: 8px; }")
            .arg(danger.red())
            .arg(danger.green())
            .arg(danger.blue()));
    auto* errorRow = new QHBoxLayout(m_errorBox);
    errorRow->setContentsMargins(8, 8, 8, 8);
    errorRow->setSpacing(6);
    errorRow->addWidget(symbolLabel("exclamationmark.triangle.fill", danger, 11), 0, Qt::AlignTop);
    m_errorText = makeLabel(fonts::system(11), qColor(TarnGlassTokens::danger));
    m_errorText->setObjectName(QStringLiteral("graphQLErrorText"));
    m_errorText->setWordWrap(true);
    m_errorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_errorText->setTextFormat(Qt::PlainText);
    errorRow->addWidget(m_errorText, 1, Qt::AlignTop);
    column->addWidget(m_errorBox);

    // Content: the loaded schema, the empty state, or nothing while loading.
    m_content = new QStackedWidget;
    column->addWidget(m_content, 1);

    m_loadedPage = new QWidget;
    auto* loaded = new QVBoxLayout(m_loadedPage);
    loaded->setContentsMargins(0, 0, 0, 0);
    loaded->setSpacing(10);
    m_kindBar = new QWidget;
    m_kindBar->setObjectName(QStringLiteral("graphQLKindBar"));
    auto* kinds = new QHBoxLayout(m_kindBar);
    kinds->setContentsMargins(0, 0, 0, 0);
    kinds->setSpacing(6);
    kinds->addStretch(1);
    loaded->addWidget(m_kindBar);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("graphQLSearchField"));
    tarnGlassInputField(m_search, 6, 8, 4);
    m_search->setFont(fonts::system(12));
    connect(m_search, &QLineEdit::textEdited, this, [this](const QString& typed) {
        m_ui.searchText = qt::toStdString(typed);
        refreshContent();
    });
    loaded->addWidget(m_search);
    m_listArea = new QStackedWidget;
    m_noMatch = makeLabel(fonts::system(12), qColor(TarnGlassTokens::textMuted));
    m_noMatch->setObjectName(QStringLiteral("graphQLNoMatch"));
    m_noMatch->setAlignment(Qt::AlignCenter);
    m_noMatch->setWordWrap(true);
    m_listArea->addWidget(m_noMatch);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("graphQLOperationList"));
    m_operations = new GraphQLOperationListModel(m_list);
    m_list->setModel(m_operations);
    auto* delegate = new GraphQLOperationDelegate(
        [this](const GraphQLOperationField& operation) { m_model.applyGraphQLTemplate(operation); },
        m_list);
    delegate->setAccent(m_accent);
    m_list->setItemDelegate(delegate);
    dressGlassListView(m_list);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setResizeMode(QListView::Adjust);
    m_listArea->addWidget(m_list);
    loaded->addWidget(m_listArea, 1);
    m_content->addWidget(m_loadedPage);

    m_emptyPage = new QWidget;
    auto* empty = new QVBoxLayout(m_emptyPage);
    empty->setContentsMargins(8, 0, 8, 0);
    empty->setSpacing(8);
    m_emptySymbol = new QLabel;
    m_emptySymbol->setAlignment(Qt::AlignCenter);
    empty->addWidget(m_emptySymbol);
    m_emptyText = makeLabel(fonts::system(11.5), qColor(TarnGlassTokens::textSecondary));
    m_emptyText->setObjectName(QStringLiteral("graphQLEmptyText"));
    m_emptyText->setAlignment(Qt::AlignCenter);
    m_emptyText->setWordWrap(true);
    empty->addWidget(m_emptyText);
    empty->addStretch(1);
    m_content->addWidget(m_emptyPage);

    m_nothingPage = new QWidget;
    m_content->addWidget(m_nothingPage);

    setAccent(m_accent);
}

void GraphQLSchemaExplorerDrawer::refresh(const ViewModelChanges* changes) {
    const auto changed = [changes](std::initializer_list<Field> fields) {
        return changes == nullptr || changes->containsAny(fields);
    };
    // The drawer's own state lasts while it is shown.
    if (changes != nullptr && changes->contains(Field::showGraphQLSchemaExplorer) &&
        !m_model.showGraphQLSchemaExplorer())
        resetUIState();
    if (changed({Field::language}))
        refreshTexts();
    if (changed({Field::language, Field::isIntrospectingGraphQL, Field::collections,
                 Field::selectedCollectionID, Field::selectedRequestID}))
        refreshActionRow();
    if (changed({Field::graphQLIntrospectionError}))
        refreshError();
    if (changed({Field::graphQLSchema, Field::isIntrospectingGraphQL, Field::language,
                 Field::showGraphQLSchemaExplorer}))
        refreshContent();
    if (changed({Field::graphQLSchema}))
        bindings::refresh(m_summary, m_model.graphQLSchema()
                                         ? graphQLExplorer::summaryText(*m_model.graphQLSchema())
                                         : std::string());
}

void GraphQLSchemaExplorerDrawer::refreshTexts() {
    m_title->setText(text("GraphQL Schema Explorer", "GraphQL Şema Gezgini"));
    m_search->setPlaceholderText(
        text("Search fields, args, types...", "Alan, argüman veya tip ara..."));
    m_emptyText->setText(text("Click 'Introspect Schema' to fetch live Queries & Mutations from "
                              "your active GraphQL endpoint.",
                              "Aktif GraphQL uç noktasından canlı Query ve Mutation şemasını "
                              "çekmek için 'Şemayı Keşfet'e tıklayın."));
    static_cast<GraphQLOperationDelegate*>(m_list->itemDelegate())
        ->setButtonTitle(text("Generate Query", "Sorgu Oluştur"));
    m_list->doItemsLayout();
}

void GraphQLSchemaExplorerDrawer::refreshActionRow() {
    const bool introspecting = m_model.isIntrospectingGraphQL();
    if (introspecting) {
        m_introspectButton->setText(text("Introspecting...", "Keşfediliyor..."));
        if (!m_spinner->isActive()) {
            m_spinnerStep = 0;
            m_introspectButton->setIcon(spinnerIcon(0, qColor(TarnColor::black(0.9)), 13));
            m_spinner->start();
        }
    } else {
        m_spinner->stop();
        m_introspectButton->setText(text("Introspect Schema", "Şemayı Keşfet"));
        m_introspectButton->setIcon(symbolIcon("sparkles", qColor(TarnColor::black(0.9)), 13));
    }
    m_introspectButton->setEnabled(!introspecting && m_model.activeRequest().has_value());
    m_introspectButton->updateGeometry();
}

void GraphQLSchemaExplorerDrawer::refreshError() {
    const auto& error = m_model.graphQLIntrospectionError();
    m_errorBox->setVisible(error.has_value());
    bindings::refresh(m_errorText, error.value_or(std::string()));
}

void GraphQLSchemaExplorerDrawer::rebuildKindBar(const GraphQLSchemaSummary& schema) {
    const std::vector<GraphQLRootKind> kinds = graphQLExplorer::availableRootKinds(schema);
    const bool sameKinds =
        std::equal(m_kindButtons.begin(), m_kindButtons.end(), kinds.begin(), kinds.end(),
                   [](const auto& shown, GraphQLRootKind kind) { return shown.first == kind; });
    auto* layout = static_cast<QHBoxLayout*>(m_kindBar->layout());
    if (!sameKinds) {
        for (auto& [kind, button] : m_kindButtons)
            delete button;
        m_kindButtons.clear();
        int position = 0;
        for (const GraphQLRootKind kind : kinds) {
            auto* button = new TarnGlassButton(QString());
            button->setObjectName(QStringLiteral("graphQLKind") + qt::toQString(rawValue(kind)));
            connect(button, &QAbstractButton::clicked, this, [this, kind] { chooseKind(kind); });
            layout->insertWidget(position++, button);
            m_kindButtons.emplace_back(kind, button);
        }
    }
    for (auto& [kind, button] : m_kindButtons) {
        button->setText(qt::toQString(
            graphQLExplorer::kindButtonTitle(kind, graphQLExplorer::operationCount(schema, kind))));
        button->setActive(kind == m_ui.selectedKind);
        button->updateGeometry();
    }
}

void GraphQLSchemaExplorerDrawer::refreshContent() {
    const auto& schema = m_model.graphQLSchema();
    if (!schema) {
        m_content->setCurrentWidget(m_model.isIntrospectingGraphQL() ? m_nothingPage : m_emptyPage);
        m_operations->setOperations({});
        return;
    }
    m_content->setCurrentWidget(m_loadedPage);
    rebuildKindBar(*schema);
    bindings::refresh(m_search, m_ui.searchText);
    std::vector<GraphQLOperationField> operations =
        schema->filteredOperations(m_ui.selectedKind, m_ui.searchText);
    if (operations.empty()) {
        const std::string kind(rawValue(m_ui.selectedKind));
        m_noMatch->setText(
            qt::toQString(tarnText("No matching " + kind + " fields.",
                                   "Eşleşen " + kind + " alanı bulunamadı.", m_model.language())));
        m_listArea->setCurrentWidget(m_noMatch);
    } else {
        m_listArea->setCurrentWidget(m_list);
    }
    m_operations->setOperations(std::move(operations));
}

void GraphQLSchemaExplorerDrawer::chooseKind(GraphQLRootKind kind) {
    m_ui.selectedKind = kind;
    refreshContent();
}

void GraphQLSchemaExplorerDrawer::resetUIState() {
    m_ui = GraphQLExplorerUIState{};
    m_list->scrollToTop();
}

} // namespace quiller
