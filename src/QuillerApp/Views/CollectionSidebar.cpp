#include "QuillerApp/Views/CollectionSidebar.h"

#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace quiller::workbench {
namespace {

using Field = QuillerViewModelField;

// Row measures.
constexpr int kRowGap = 4;         // between rows of a group
constexpr int kGroupGap = 10;      // between groups
constexpr int kOuterInset = 8;     // from the sidebar's edges to a row's highlight
constexpr int kHorizontalPad = 10; // inside the highlight
constexpr int kVerticalPad = 7;
constexpr int kHeaderInset = 12;
constexpr int kMethodWidth = 44;

QFont headerFont() {
    return tarn::fonts::system(10, QFont::Bold);
}
QFont methodFont() {
    return tarn::fonts::system(9.5, QFont::Bold, true);
}
QFont nameFont() {
    return tarn::fonts::system(12, QFont::Medium);
}

// One line of a name: what stands before its first line break, marked as cut.
QString oneLine(const QString& name) {
    const qsizetype end =
        name.indexOf(QRegularExpression(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]")));
    return end < 0 ? name : name.left(end) + QChar(0x2026);
}

QString uuidText(const tarn::UUID& id) {
    return toQString(id.string());
}

} // namespace

// --- Model ---------------------------------------------------------------------

CollectionSidebarModel::CollectionSidebarModel(QuillerViewModel& model, QObject* parent)
    : QAbstractListModel(parent), m_model(model) {
    m_entries = entriesFromModel();
    if (const auto indices = m_model.activeRequestIndices())
        m_activeID = m_model.collections()[indices->col].requests[indices->req].id;
}

QColor CollectionSidebarModel::methodColour(TarnHTTPMethod method) {
    using namespace tarn::TarnGlassTokens;
    switch (method) {
    case TarnHTTPMethod::get:
        return tarn::qColor(success);
    case TarnHTTPMethod::post:
        return tarn::qColor(warning);
    case TarnHTTPMethod::put:
    case TarnHTTPMethod::patch:
        return studioAccent();
    case TarnHTTPMethod::delete_:
        return tarn::qColor(danger);
    case TarnHTTPMethod::head:
    case TarnHTTPMethod::options:
        break;
    }
    return tarn::qColor(textSecondary);
}

CollectionSidebarModel::Entry
CollectionSidebarModel::requestEntry(const APIRequestCollection& collection,
                                     const APIRequestSpec& request) {
    return Entry{false, collection.id, request.id, toQString(request.name), request.method};
}

std::vector<CollectionSidebarModel::Entry> CollectionSidebarModel::entriesFromModel() const {
    std::vector<Entry> entries;
    std::size_t total = 0;
    for (const APIRequestCollection& collection : m_model.collections())
        total += 1 + collection.requests.size();
    entries.reserve(total);
    for (const APIRequestCollection& collection : m_model.collections()) {
        entries.push_back(Entry{true, collection.id, {}, toQString(collection.name).toUpper(), {}});
        for (const APIRequestSpec& request : collection.requests)
            entries.push_back(requestEntry(collection, request));
    }
    return entries;
}

int CollectionSidebarModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant CollectionSidebarModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Entry& entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return entry.text;
    case IsHeaderRole:
        return entry.isHeader;
    case MethodRole:
        return entry.isHeader ? QVariant() : QVariant(toQString(rawValue(entry.method)));
    case MethodColourRole:
        return entry.isHeader ? QVariant() : QVariant(methodColour(entry.method));
    case SelectedRole:
        return !entry.isHeader && m_activeID == entry.requestID;
    case RequestIDRole:
        return entry.isHeader ? QVariant() : QVariant(uuidText(entry.requestID));
    case CollectionIDRole:
        return uuidText(entry.collectionID);
    case TopGapRole:
        return entry.isHeader && index.row() > 0 ? kGroupGap - kRowGap : 0;
    default:
        return {};
    }
}

std::optional<CollectionSidebarModel::RequestRef> CollectionSidebarModel::requestAt(int row) const {
    if (row < 0 || row >= rowCount() || m_entries[static_cast<std::size_t>(row)].isHeader)
        return std::nullopt;
    const Entry& entry = m_entries[static_cast<std::size_t>(row)];
    return RequestRef{entry.requestID, entry.collectionID};
}

int CollectionSidebarModel::rowOf(const tarn::UUID& requestID) const {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return !entry.isHeader && entry.requestID == requestID;
    });
    return found == m_entries.end() ? -1 : static_cast<int>(found - m_entries.begin());
}

int CollectionSidebarModel::firstRequestRow(const tarn::UUID& collectionID) const {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return entry.isHeader && entry.collectionID == collectionID;
    });
    return found == m_entries.end() ? -1 : static_cast<int>(found - m_entries.begin()) + 1;
}

const APIRequestSpec* CollectionSidebarModel::findRequest(const tarn::UUID& collectionID,
                                                          const tarn::UUID& requestID) const {
    for (const APIRequestCollection& collection : m_model.collections()) {
        if (collection.id != collectionID)
            continue;
        for (const APIRequestSpec& request : collection.requests)
            if (request.id == requestID)
                return &request;
    }
    return nullptr;
}

void CollectionSidebarModel::repaintRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    const QModelIndex at = index(row);
    emit dataChanged(at, at);
}

void CollectionSidebarModel::rebuild() {
    beginResetModel();
    m_entries = entriesFromModel();
    endResetModel();
}

bool CollectionSidebarModel::applyRequestChange(const ViewModelChange& change) {
    const int first = firstRequestRow(*change.parent);
    if (first < 0)
        return false;
    const int at = first + static_cast<int>(change.first);
    const int count = static_cast<int>(change.count);
    switch (change.kind) {
    case ListChangeKind::updated: {
        // Found by identity: later steps of the same turn may have moved it.
        if (!change.identity)
            return false;
        const int row = rowOf(*change.identity);
        if (row < 0)
            return false;
        Entry& entry = m_entries[static_cast<std::size_t>(row)];
        // Gone again later in the turn: its removal record follows.
        if (const APIRequestSpec* request = findRequest(*change.parent, entry.requestID)) {
            Entry fresh = entry;
            fresh.text = toQString(request->name);
            fresh.method = request->method;
            if (!fresh.sameData(entry)) {
                entry = std::move(fresh);
                repaintRow(row);
            }
        }
        return true;
    }
    case ListChangeKind::inserted: {
        if (at > rowCount() || count <= 0)
            return false;
        beginInsertRows({}, at, at + count - 1);
        // The texts come from the model as it is at the end of the turn;
        // reconcile() corrects rows that a later step of the turn changed.
        std::vector<Entry> added;
        for (int i = 0; i < count; ++i) {
            Entry entry{false, *change.parent, {}, {}, TarnHTTPMethod::get};
            if (count == 1 && change.identity) {
                entry.requestID = *change.identity;
                if (const APIRequestSpec* request = findRequest(*change.parent, entry.requestID)) {
                    entry.text = toQString(request->name);
                    entry.method = request->method;
                }
            }
            added.push_back(std::move(entry));
        }
        m_entries.insert(m_entries.begin() + at, added.begin(), added.end());
        endInsertRows();
        return true;
    }
    case ListChangeKind::removed: {
        if (count <= 0 || at + count > rowCount())
            return false;
        beginRemoveRows({}, at, at + count - 1);
        m_entries.erase(m_entries.begin() + at, m_entries.begin() + at + count);
        endRemoveRows();
        return true;
    }
    case ListChangeKind::none:
    case ListChangeKind::reset:
        break;
    }
    return false;
}

void CollectionSidebarModel::reconcile() {
    std::vector<Entry> target = entriesFromModel();
    bool sameRows = target.size() == m_entries.size();
    for (std::size_t i = 0; sameRows && i < target.size(); ++i)
        sameRows = target[i].isHeader == m_entries[i].isHeader &&
                   target[i].collectionID == m_entries[i].collectionID &&
                   (target[i].isHeader || target[i].requestID == m_entries[i].requestID);
    if (!sameRows) {
        beginResetModel();
        m_entries = std::move(target);
        endResetModel();
        return;
    }
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i].sameData(m_entries[i]))
            continue;
        m_entries[i] = std::move(target[i]);
        repaintRow(static_cast<int>(i));
    }
}

void CollectionSidebarModel::updateActiveRequest() {
    std::optional<tarn::UUID> active;
    if (const auto indices = m_model.activeRequestIndices())
        active = m_model.collections()[indices->col].requests[indices->req].id;
    if (active == m_activeID)
        return;
    const std::optional<tarn::UUID> previous = std::exchange(m_activeID, active);
    if (previous)
        repaintRow(rowOf(*previous));
    if (active)
        repaintRow(rowOf(*active));
}

void CollectionSidebarModel::apply(const ViewModelChanges& changes) {
    if (changes.contains(Field::collections)) {
        bool mustReconcile = false;
        for (const ViewModelChange& change : changes.records) {
            if (change.field != Field::collections)
                continue;
            // Changes of the collections themselves (added, removed, renamed,
            // replaced) are compared with the model as a whole.
            if (!change.parent || !applyRequestChange(change)) {
                mustReconcile = true;
                continue;
            }
            mustReconcile = mustReconcile || change.kind != ListChangeKind::updated;
        }
        if (mustReconcile)
            reconcile();
    }
    if (changes.containsAny(
            {Field::collections, Field::selectedRequestID, Field::selectedCollectionID}))
        updateActiveRequest();
}

// --- Delegate ------------------------------------------------------------------

QSize CollectionSidebarDelegate::sizeHint(const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    const int width = option.rect.width() > 0 ? option.rect.width() : 245;
    if (index.data(CollectionSidebarModel::IsHeaderRole).toBool()) {
        const int topGap = index.data(CollectionSidebarModel::TopGapRole).toInt();
        return {width, topGap + QFontMetrics(headerFont()).height() + kRowGap};
    }
    const int line =
        std::max(QFontMetrics(nameFont()).height(), QFontMetrics(methodFont()).height());
    return {width, line + 2 * kVerticalPad + kRowGap};
}

void CollectionSidebarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect rect = option.rect;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.data(CollectionSidebarModel::IsHeaderRole).toBool()) {
        const int topGap = index.data(CollectionSidebarModel::TopGapRole).toInt();
        const QRect area = rect.adjusted(kHeaderInset, topGap, -kHeaderInset, -kRowGap);
        painter->setFont(headerFont());
        painter->setPen(tarn::qColor(tarn::TarnGlassTokens::textMuted));
        painter->drawText(
            area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            QFontMetrics(headerFont()).elidedText(text, Qt::ElideRight, area.width()));
        painter->restore();
        return;
    }
    const QRectF highlight = QRectF(rect).adjusted(kOuterInset, 0, -kOuterInset, -kRowGap);
    if (index.data(CollectionSidebarModel::SelectedRole).toBool()) {
        QColor fill = studioAccent();
        fill.setAlphaF(0.24f);
        painter->fillPath(tarn::glassShape(highlight, 8), fill);
    }
    const QRectF content =
        highlight.adjusted(kHorizontalPad, kVerticalPad, -kHorizontalPad, -kVerticalPad);
    painter->setFont(methodFont());
    painter->setPen(index.data(CollectionSidebarModel::MethodColourRole).value<QColor>());
    const QRectF methodArea(content.left(), content.top(), kMethodWidth, content.height());
    painter->drawText(methodArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(CollectionSidebarModel::MethodRole).toString());
    const QRectF nameArea = content.adjusted(kMethodWidth + 8, 0, 0, 0);
    painter->setFont(nameFont());
    painter->setPen(tarn::qColor(tarn::TarnGlassTokens::textPrimary));
    painter->drawText(
        nameArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(nameFont())
            .elidedText(oneLine(text), Qt::ElideRight, static_cast<int>(nameArea.width())));
    painter->restore();
}

// --- Sidebar -------------------------------------------------------------------

CollectionSidebar::CollectionSidebar(QuillerViewModel& model, ViewModelBridge& bridge,
                                     std::function<void()> openCurlImporter, QWidget* parent)
    : QWidget(parent), m_model(model), m_listModel(new CollectionSidebarModel(model, this)),
      m_list(new QListView(this)),
      m_title(label({}, 12.5, QFont::Bold, false, tarn::qColor(tarn::TarnGlassTokens::textPrimary),
                    this)) {
    setObjectName(QStringLiteral("collectionSidebar"));
    setFixedWidth(245);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 14, 12, 0);
    m_title->setObjectName(QStringLiteral("sidebarTitle"));
    header->addWidget(m_title);
    header->addStretch(1);
    auto* curl = new tarn::TarnGlassButton(QStringLiteral("cURL"), false, this);
    curl->setObjectName(QStringLiteral("curlButton"));
    curl->setFont(tarn::fonts::system(10.5, QFont::Bold, true));
    header->addWidget(curl);
    auto* add = new tarn::TarnGlassButton(QString(), false, this);
    add->setObjectName(QStringLiteral("addRequestButton"));
    add->setIcon(tarn::symbolIcon("plus", tarn::qColor(tarn::TarnGlassTokens::textPrimary), 12));
    add->setIconSize(QSize(12, 12));
    header->addWidget(add);
    column->addLayout(header);

    m_list->setObjectName(QStringLiteral("sidebarList"));
    m_list->setModel(m_listModel);
    m_list->setItemDelegate(new CollectionSidebarDelegate(m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setMouseTracking(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    column->addWidget(m_list, 1);

    connect(curl, &QAbstractButton::clicked, this, [open = std::move(openCurlImporter)] {
        if (open)
            open();
    });
    connect(add, &QAbstractButton::clicked, this,
            [this] { m_model.addRequestToActiveCollection(); });
    connect(m_list, &QListView::clicked, this,
            [this](const QModelIndex& index) { selectRow(index.row()); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        const QModelIndex index = m_list->indexAt(position);
        if (QMenu* menu = contextMenuFor(index.row()))
            menu->popup(m_list->viewport()->mapToGlobal(position));
    });
    connect(&bridge, &ViewModelBridge::changed, this, [this](const ViewModelChanges& changes) {
        m_listModel->apply(changes);
        if (changes.contains(Field::language))
            retranslate();
    });
    retranslate();
}

void CollectionSidebar::retranslate() {
    m_title->setText(text(m_model, "Collections", "Koleksiyonlar"));
}

void CollectionSidebar::selectRow(int row) {
    const auto request = m_listModel->requestAt(row);
    if (!request)
        return;
    m_model.setSelectedCollectionID(request->collectionID);
    m_model.setSelectedRequestID(request->requestID);
}

QMenu* CollectionSidebar::contextMenuFor(int row) {
    const auto request = m_listModel->requestAt(row);
    if (!request)
        return nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("requestContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = menu->addAction(text(m_model, "Delete Request", "\u0130ste\u011Fi Sil"));
    remove->setObjectName(QStringLiteral("deleteRequestAction"));
    connect(remove, &QAction::triggered, this, [this, target = *request] {
        m_model.deleteRequest(target.requestID, target.collectionID);
    });
    return menu;
}

void CollectionSidebar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), tarn::qColor(tarn::TarnColor::black(0.18)));
}

} // namespace quiller::workbench
