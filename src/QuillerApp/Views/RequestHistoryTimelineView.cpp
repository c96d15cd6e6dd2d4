#include "QuillerApp/Views/RequestHistoryTimelineView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/HistoryEntryInspector.h"
#include "QuillerApp/Views/HistoryTimelineList.h"
#include "QuillerApp/Views/HistoryTimelinePresentation.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

namespace quiller {

namespace fonts = tarn::fonts;
namespace tokens = tarn::TarnGlassTokens;
namespace presentation = HistoryTimelinePresentation;
using Field = QuillerViewModelField;
using tarn::qt::toQString;

// The screen's filter and selection: created with the screen, never saved.
struct RequestHistoryTimelineView::UIState {
    std::string searchText{};
    std::optional<TarnHTTPMethod> methodFilter{};
    RequestHistoryStatusBucket statusBucket = RequestHistoryStatusBucket::all;
    std::optional<tarn::UUID> selectedEntryID{};
};

namespace {

QColor token(const tarn::TarnColor& colour) {
    return tarn::qColor(colour);
}

QHBoxLayout* row(int spacing) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

RequestHistoryTimelineView::RequestHistoryTimelineView(QuillerViewModel& model,
                                                       ViewModelBridge& bridge, QWidget* parent)
    : QWidget(parent), m_model(model), m_ui(std::make_unique<UIState>()), m_accent(studioAccent()) {
    setObjectName(QStringLiteral("RequestHistoryTimelineView"));
    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(18, 18, 18, 18);
    body->setSpacing(14);
    body->addWidget(buildFilterHeader());
    body->addWidget(buildEmptyState(), 1);
    body->addWidget(buildSplit(), 1);

    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { onModelChanged(changes); });
    refresh(true);
}

RequestHistoryTimelineView::~RequestHistoryTimelineView() = default;

QWidget* RequestHistoryTimelineView::buildFilterHeader() {
    auto* card = new tarn::TarnGlassCard(14, 16);
    card->setObjectName(QStringLiteral("historyFilterHeader"));
    auto* content = new QWidget;
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(10);

    auto* first = row(10);
    m_title =
        new SymbolTitle(tarn::symbolNamed("clock.arrow.circlepath"),
                        fonts::system(14.5, QFont::Bold), token(tokens::textPrimary), content);
    m_title->setObjectName(QStringLiteral("historyTitle"));
    m_count = new CapsuleLabel(fonts::system(11, QFont::Bold, true), 8, 3, content);
    m_count->setObjectName(QStringLiteral("historyCount"));
    m_clear = new tarn::TarnGlassButton(QString(), false, content);
    m_clear->setObjectName(QStringLiteral("historyClear"));
    m_clear->setIcon(tarn::symbolIcon("trash", token(tokens::textPrimary), 13));
    m_clear->setIconSize({13, 13});
    first->addWidget(m_title);
    first->addWidget(m_count);
    first->addStretch(1);
    first->addWidget(m_clear);
    rows->addLayout(first);

    auto* second = row(10);
    m_search = new QLineEdit(content);
    m_search->setObjectName(QStringLiteral("historySearch"));
    tarn::tarnGlassInputField(m_search, 6, 8, 4);
    m_methodPicker = new QComboBox(content);
    m_methodPicker->setObjectName(QStringLiteral("historyMethodPicker"));
    m_methodPicker->setFixedWidth(125);
    m_methodPicker->addItem(QString());
    for (const TarnHTTPMethod method : allCases<TarnHTTPMethod>())
        m_methodPicker->addItem(toQString(rawValue(method)));
    second->addWidget(m_search, 1);
    second->addWidget(m_methodPicker);
    auto* buckets = row(4);
    const auto bucketCases = allCases<RequestHistoryStatusBucket>();
    for (std::size_t i = 0; i < m_buckets.size(); ++i) {
        m_buckets[i] = new tarn::TarnGlassButton(QString(), false, content);
        m_buckets[i]->setObjectName(
            QStringLiteral("historyBucket%1").arg(toQString(rawValue(bucketCases[i]))));
        buckets->addWidget(m_buckets[i]);
        const RequestHistoryStatusBucket bucket = bucketCases[i];
        connect(m_buckets[i], &QAbstractButton::clicked, this, [this, bucket] {
            m_ui->statusBucket = bucket;
            refresh(false);
        });
    }
    second->addLayout(buckets);
    rows->addLayout(second);

    tarn::bindings::bindLineEdit(m_search, [this](const std::string& text) {
        m_ui->searchText = text;
        refresh(false);
    });
    tarn::bindings::bindComboBox(m_methodPicker, [this](int index) {
        const auto methods = allCases<TarnHTTPMethod>();
        m_ui->methodFilter = index >= 1 && static_cast<std::size_t>(index) <= methods.size()
                                 ? std::optional(methods[static_cast<std::size_t>(index - 1)])
                                 : std::nullopt;
        refresh(false);
    });
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        m_ui->selectedEntryID.reset();
        m_model.clearExecutionHistory();
    });
    card->setContent(content);
    return card;
}

QWidget* RequestHistoryTimelineView::buildEmptyState() {
    m_emptyState = new tarn::TarnGlassCard(24, 16);
    m_emptyState->setObjectName(QStringLiteral("historyEmptyState"));
    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(10);
    auto* symbol = new QLabel(content);
    symbol->setPixmap(tarn::symbolIcon("clock.arrow.trianglehead.counterclockwise.rotate.90",
                                       withOpacity(m_accent, 0.75), 36)
                          .pixmap(36, 36));
    m_emptyMessage = makeLabel(fonts::system(13), token(tokens::textSecondary), content);
    m_emptyMessage->setObjectName(QStringLiteral("historyEmptyMessage"));
    m_emptyMessage->setAlignment(Qt::AlignCenter);
    m_emptyMessage->setWordWrap(true);
    stack->addStretch(1);
    stack->addWidget(symbol, 0, Qt::AlignHCenter);
    stack->addWidget(m_emptyMessage);
    stack->addStretch(1);
    m_emptyState->setContent(content);
    return m_emptyState;
}

QWidget* RequestHistoryTimelineView::buildSplit() {
    m_split = new QSplitter(Qt::Horizontal);
    m_split->setObjectName(QStringLiteral("historySplit"));
    m_split->setChildrenCollapsible(false);
    m_split->setHandleWidth(14);

    auto* listCard = new tarn::TarnGlassCard(12, 14);
    listCard->setObjectName(QStringLiteral("historyTimeline"));
    listCard->setMinimumWidth(420);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("historyList"));
    m_listModel = new HistoryTimelineModel(m_list);
    m_delegate = new HistoryTimelineDelegate(m_accent, m_list);
    m_list->setModel(m_listModel);
    m_list->setItemDelegate(m_delegate);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    listCard->setContent(m_list);

    auto* inspectorCard = new tarn::TarnGlassCard(14, 14);
    inspectorCard->setObjectName(QStringLiteral("historyInspectorCard"));
    inspectorCard->setMinimumWidth(380);
    m_inspector = new HistoryEntryInspector(m_accent);
    inspectorCard->setContent(m_inspector);

    m_split->addWidget(listCard);
    m_split->addWidget(inspectorCard);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 1);

    connect(m_delegate, &HistoryTimelineDelegate::rowPicked, this, [this](int picked) {
        const tarn::UUID id = m_listModel->entry(picked).id;
        if (m_ui->selectedEntryID == id)
            return;
        m_ui->selectedEntryID = id;
        refresh(false);
    });
    connect(m_delegate, &HistoryTimelineDelegate::loadRequested, this, [this](int picked) {
        // A copy: loading switches the tab, which may destroy this screen.
        const RequestHistoryEntry entry = m_listModel->entry(picked);
        m_model.loadHistoryEntry(entry);
    });
    connect(m_list, &QWidget::customContextMenuRequested, this,
            &RequestHistoryTimelineView::showRowMenu);
    connect(m_inspector, &HistoryEntryInspector::copyURLRequested, this, [this] {
        if (const auto& shown = m_inspector->entry())
            m_model.copyText(shown->sanitizedURL, "URL");
    });
    connect(m_inspector, &HistoryEntryInspector::loadRequested, this, [this] {
        if (const auto shown = m_inspector->entry())
            m_model.loadHistoryEntry(*shown);
    });
    return m_split;
}

void RequestHistoryTimelineView::onModelChanged(const ViewModelChanges& changes) {
    const bool texts = changes.contains(Field::language);
    if (texts || changes.contains(Field::executionHistory))
        refresh(texts);
}

void RequestHistoryTimelineView::refreshTexts() {
    const tarn::TarnLanguage language = m_model.language();
    m_title->setText(viewText("Request Execution History", "İstek Çalıştırma Geçmişi", language));
    m_clear->setText(viewText("Clear", "Temizle", language));
    m_search->setPlaceholderText(
        viewText("Search URL, request name, status, or response snippet...",
                 "URL, istek adı, durum kodu veya yanıt ara...", language));
    m_methodPicker->setItemText(0, viewText("All Methods", "Tüm Metotlar", language));
    const auto bucketCases = allCases<RequestHistoryStatusBucket>();
    for (std::size_t i = 0; i < m_buckets.size(); ++i)
        m_buckets[i]->setText(toQString(presentation::bucketLabel(bucketCases[i], language)));
    m_delegate->setLoadButtonText(viewText("Load Request", "İsteği Yükle", language));
    m_list->viewport()->update();
}

void RequestHistoryTimelineView::refresh(bool texts) {
    if (texts)
        refreshTexts();
    const std::vector<RequestHistoryEntry>& history = m_model.executionHistory();
    const tarn::TarnLanguage language = m_model.language();

    // Once per refresh: the filter, the selection and the counts.
    std::vector<RequestHistoryEntry> filtered = RequestHistoryEngine::filter(
        history, RequestHistoryFilter{m_ui->searchText, m_ui->methodFilter, m_ui->statusBucket});
    const std::optional<std::size_t> selected =
        presentation::selectedIndex(filtered, m_ui->selectedEntryID);
    const std::optional<tarn::UUID> selectedID =
        selected ? std::optional(filtered[*selected].id) : std::nullopt;
    const std::size_t shown = filtered.size();

    m_count->setCapsule(
        toQString(tarn::numbers::formatInteger(static_cast<long long>(shown)) + " / " +
                  tarn::numbers::formatInteger(static_cast<long long>(history.size()))),
        m_accent, withOpacity(m_accent, 0.18));
    m_clear->setEnabled(!history.empty());
    tarn::bindings::refresh(m_search, m_ui->searchText);
    const auto methods = allCases<TarnHTTPMethod>();
    int methodIndex = 0;
    for (std::size_t i = 0; i < methods.size(); ++i)
        if (m_ui->methodFilter == methods[i])
            methodIndex = static_cast<int>(i) + 1;
    tarn::bindings::refresh(m_methodPicker, methodIndex);
    const auto bucketCases = allCases<RequestHistoryStatusBucket>();
    for (std::size_t i = 0; i < m_buckets.size(); ++i)
        m_buckets[i]->setActive(bucketCases[i] == m_ui->statusBucket);

    m_listModel->setEntries(std::move(filtered), selectedID);
    const bool empty = shown == 0;
    m_emptyState->setVisible(empty);
    m_split->setVisible(!empty);
    if (empty) {
        m_emptyMessage->setText(
            history.empty()
                ? viewText("No executed requests yet. Send a request in API Studio to record "
                           "sanitized history.",
                           "Henüz kaydedilmiş istek yok. API Stüdyo'da bir istek gönderdiğinizde "
                           "gizli veriler maskelenerek burada listelenir.",
                           language)
                : viewText("No history entries match your active filters.",
                           "Seçili filtrelere uyan geçmiş kaydı bulunamadı.", language));
        return;
    }
    m_inspector->showEntry(m_listModel->entry(static_cast<int>(*selected)), language);
}

void RequestHistoryTimelineView::showRowMenu(const QPoint& position) {
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    const RequestHistoryEntry entry = m_listModel->entry(index.row());
    const tarn::TarnLanguage language = m_model.language();
    delete m_rowMenu;
    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("historyRowMenu"));
    m_rowMenu->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_rowMenu, &QObject::destroyed, this, [this] { m_rowMenu = nullptr; });
    QAction* load = m_rowMenu->addAction(viewText("Load Request", "İsteği Yükle", language));
    load->setObjectName(QStringLiteral("historyRowLoad"));
    connect(load, &QAction::triggered, this, [this, entry] { m_model.loadHistoryEntry(entry); });
    QAction* copy =
        m_rowMenu->addAction(viewText("Copy Sanitized URL", "Temiz URL Kopyala", language));
    copy->setObjectName(QStringLiteral("historyRowCopyURL"));
    connect(copy, &QAction::triggered, this,
            [this, entry] { m_model.copyText(entry.sanitizedURL, "URL"); });
    m_rowMenu->addSeparator();
    QAction* remove = m_rowMenu->addAction(viewText("Delete Entry", "Kaydı Sil", language));
    remove->setObjectName(QStringLiteral("historyRowDelete"));
    // Deleting leaves the picked id alone: the inspector moves on to the
    // newest listed entry by itself.
    connect(remove, &QAction::triggered, this,
            [this, id = entry.id] { m_model.deleteHistoryEntry(id); });
    m_rowMenu->popup(m_list->viewport()->mapToGlobal(position));
}

const std::vector<RequestHistoryEntry>& RequestHistoryTimelineView::filteredEntries() const {
    return m_listModel->entries();
}

std::optional<RequestHistoryEntry> RequestHistoryTimelineView::selectedEntry() const {
    const std::optional<std::size_t> selected =
        presentation::selectedIndex(m_listModel->entries(), m_listModel->selectedID());
    if (!selected)
        return std::nullopt;
    return m_listModel->entries()[*selected];
}

const std::optional<tarn::UUID>& RequestHistoryTimelineView::pickedEntryID() const {
    return m_ui->selectedEntryID;
}

} // namespace quiller
