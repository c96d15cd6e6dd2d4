#include "QuillerApp/Views/StreamAndWebSocketView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/GlassListView.h"
#include "QuillerApp/Views/StreamConsoleLists.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSplitter>
#include <QVBoxLayout>

namespace quiller {

using Field = QuillerViewModelField;
using namespace tarn;

namespace {

// The placeholders of the URL fields are the view model's default URLs.
constexpr const char* kSSEPlaceholder = "https://sse.dev/test";
constexpr const char* kWebSocketPlaceholder = "wss://echo.websocket.org";

QLabel* titleLabel() {
    auto* label = new QLabel;
    label->setFont(fonts::system(14.5, QFont::Bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, qColor(TarnGlassTokens::textPrimary));
    label->setPalette(palette);
    return label;
}

QLineEdit* consoleField(const char* objectName, const QString& placeholder) {
    auto* field = new QLineEdit;
    field->setObjectName(QLatin1String(objectName));
    tarnGlassInputField(field, 6, 8, 5);
    field->setFont(fonts::system(12.5, QFont::Normal, true));
    field->setPlaceholderText(placeholder);
    return field;
}

QListView* consoleList(const char* objectName, NewestFirstListModel* model,
                       ConsoleRowDelegate* delegate) {
    auto* list = new QListView;
    list->setObjectName(QLatin1String(objectName));
    model->setParent(list);
    delegate->setParent(list);
    list->setModel(model);
    list->setItemDelegate(delegate);
    // Every row is one line high: the view never measures the rows one by one.
    list->setUniformItemSizes(true);
    dressGlassListView(list);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked);
    return list;
}

// A console pane: a glass card, 16 points from the pane's edges.
QWidget* pane(QWidget* content) {
    auto* holder = new QWidget;
    auto* margin = new QVBoxLayout(holder);
    margin->setContentsMargins(16, 16, 16, 16);
    auto* card = new TarnGlassCard(16, 16);
    card->setContent(content);
    margin->addWidget(card);
    return holder;
}

QVBoxLayout* consoleColumn(QWidget* content) {
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    return column;
}

} // namespace

StreamAndWebSocketView::StreamAndWebSocketView(QuillerViewModel& model, ViewModelBridge& bridge,
                                               QWidget* parent)
    : QWidget(parent), m_model(model),
      m_accent(qColor(productpalette::accentColor(TarnProductPalette::deepIndigo))) {
    setObjectName(QStringLiteral("StreamAndWebSocketView"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("streamConsoleSplit"));
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    split->addWidget(pane(buildSSEConsole()));
    split->addWidget(pane(buildWebSocketConsole()));
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    layout->addWidget(split);

    setAccent(m_accent);
    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { refresh(&changes); });
    refresh(nullptr);
}

StreamAndWebSocketView::~StreamAndWebSocketView() = default;

QString StreamAndWebSocketView::text(const char* en, const char* tr) const {
    return qt::toQString(tarnText(en, tr, m_model.language()));
}

void StreamAndWebSocketView::setAccent(const QColor& accent) {
    m_accent = accent;
    m_sseDelegate->setAccent(accent);
    m_wsDelegate->setAccent(accent);
    m_sseList->viewport()->update();
    m_wsList->viewport()->update();
}

QWidget* StreamAndWebSocketView::buildSSEConsole() {
    auto* content = new QWidget;
    auto* column = consoleColumn(content);
    m_sseTitle = titleLabel();
    m_sseTitle->setObjectName(QStringLiteral("sseTitle"));
    column->addWidget(m_sseTitle);

    auto* row = new QHBoxLayout;
    m_sseURL = consoleField("sseURLField", QLatin1String(kSSEPlaceholder));
    bindings::bindLineEdit(m_sseURL, [this](const std::string& url) { m_model.setSseURL(url); });
    row->addWidget(m_sseURL, 1);
    m_sseButton = new TarnPrimaryButton(QString());
    m_sseButton->setObjectName(QStringLiteral("sseButton"));
    connect(m_sseButton, &QAbstractButton::clicked, this, [this] { m_model.toggleSSEStream(); });
    row->addWidget(m_sseButton);
    column->addLayout(row);

    m_sseEvents = new NewestFirstListModel(
        Field::sseEvents, [this] { return m_model.sseEvents().size(); },
        [this](std::size_t position, int role) -> QVariant {
            const SSEStreamEvent& event = m_model.sseEvents()[position];
            switch (role) {
            case NewestFirstListModel::textRole:
                return qt::toQString(event.data);
            case NewestFirstListModel::titleRole:
                return qt::toQString(event.eventType);
            default:
                return {};
            }
        });
    m_sseDelegate = new ConsoleRowDelegate(ConsoleRowDelegate::Style::event);
    m_sseList = consoleList("sseEventList", m_sseEvents, m_sseDelegate);
    column->addWidget(m_sseList, 1);
    return content;
}

QWidget* StreamAndWebSocketView::buildWebSocketConsole() {
    auto* content = new QWidget;
    auto* column = consoleColumn(content);
    m_wsTitle = titleLabel();
    m_wsTitle->setObjectName(QStringLiteral("webSocketTitle"));
    column->addWidget(m_wsTitle);

    auto* connection = new QHBoxLayout;
    m_wsURL = consoleField("webSocketURLField", QLatin1String(kWebSocketPlaceholder));
    bindings::bindLineEdit(m_wsURL, [this](const std::string& url) { m_model.setWsURL(url); });
    connection->addWidget(m_wsURL, 1);
    m_connectButton = new TarnPrimaryButton(QString());
    m_connectButton->setObjectName(QStringLiteral("webSocketConnectButton"));
    connect(m_connectButton, &QAbstractButton::clicked, this,
            [this] { m_model.toggleWebSocket(); });
    connection->addWidget(m_connectButton);
    column->addLayout(connection);

    auto* sending = new QHBoxLayout;
    m_message = consoleField("webSocketMessageField", QStringLiteral("Message payload..."));
    bindings::bindLineEdit(
        m_message, [this](const std::string& message) { m_model.setWsDraftMessage(message); });
    sending->addWidget(m_message, 1);
    m_sendButton = new TarnGlassButton(QString(), false);
    m_sendButton->setObjectName(QStringLiteral("webSocketSendButton"));
    connect(m_sendButton, &QAbstractButton::clicked, this,
            [this] { m_model.sendWebSocketMessage(); });
    sending->addWidget(m_sendButton);
    column->addLayout(sending);

    m_wsFrames = new NewestFirstListModel(
        Field::wsFrames, [this] { return m_model.wsFrames().size(); },
        [this](std::size_t position, int role) -> QVariant {
            const WebSocketFrameItem& frame = m_model.wsFrames()[position];
            switch (role) {
            case NewestFirstListModel::textRole:
                return qt::toQString(frame.payload);
            case NewestFirstListModel::outgoingRole:
                return frame.isOutgoing;
            default:
                return {};
            }
        });
    m_wsDelegate = new ConsoleRowDelegate(ConsoleRowDelegate::Style::frame);
    m_wsList = consoleList("webSocketFrameList", m_wsFrames, m_wsDelegate);
    column->addWidget(m_wsList, 1);
    return content;
}

void StreamAndWebSocketView::refresh(const ViewModelChanges* changes) {
    const auto changed = [changes](std::initializer_list<Field> fields) {
        return changes == nullptr || changes->containsAny(fields);
    };
    if (changed({Field::language, Field::isSSEStreaming, Field::isWSConnected}))
        refreshTexts();
    if (changed({Field::sseURL}))
        bindings::refresh(m_sseURL, m_model.sseURL());
    if (changed({Field::wsURL}))
        bindings::refresh(m_wsURL, m_model.wsURL());
    if (changed({Field::wsDraftMessage}))
        bindings::refresh(m_message, m_model.wsDraftMessage());
    if (changed({Field::isWSConnected}))
        m_sendButton->setEnabled(m_model.isWSConnected());
    if (changes != nullptr) {
        m_sseEvents->apply(*changes);
        m_wsFrames->apply(*changes);
    }
}

void StreamAndWebSocketView::refreshTexts() {
    m_sseTitle->setText(text("Live SSE / AI Token Streamer", "Canlı SSE / AI Akış İzleyici"));
    m_wsTitle->setText(text("Bidirectional WebSocket Console", "Çift Yönlü WebSocket Konsolu"));
    m_sseButton->setText(m_model.isSSEStreaming() ? text("Stop", "Durdur")
                                                  : text("Stream", "Bağlan"));
    m_connectButton->setText(m_model.isWSConnected() ? text("Disconnect", "Kes")
                                                     : text("Connect", "Bağlan"));
    m_sendButton->setText(text("Send", "Gönder"));
    for (QWidget* button :
         {static_cast<QWidget*>(m_sseButton), static_cast<QWidget*>(m_connectButton),
          static_cast<QWidget*>(m_sendButton)})
        button->updateGeometry();
}

} // namespace quiller
