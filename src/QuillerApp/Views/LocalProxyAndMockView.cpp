#include "QuillerApp/Views/LocalProxyAndMockView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <string>
#include <utility>

namespace quiller {

namespace {

using Field = QuillerViewModelField;
namespace tokens = tarn::TarnGlassTokens;
namespace bindings = tarn::bindings;
namespace fonts = tarn::fonts;

constexpr double headingSize = 13.5;

std::string routeText(const MockRouteRule& rule) {
    return rule.method + " " + rule.path + " \u2192 " +
           tarn::numbers::formatInteger(rule.statusCode);
}

std::string exchangeText(const CapturedProxyExchange& exchange) {
    return exchange.method + " " + exchange.path;
}

} // namespace

LocalProxyAndMockView::LocalProxyAndMockView(QuillerViewModel& model, ViewModelBridge& bridge,
                                             QWidget* parent)
    : QWidget(parent), m_model(model), m_accent(studioAccent()) {
    setObjectName(QStringLiteral("LocalProxyAndMockView"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSpacing(14);
    stack->addWidget(buildHeader());

    QSplitter* split =
        makePaneSplit("proxySplit", buildRoutesPane(), buildCapturedPane(), 1, 1, this);
    stack->addWidget(split, 1);

    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { refresh(&changes); });
    refresh(nullptr);
}

QWidget* LocalProxyAndMockView::buildHeader() {
    auto* card = new tarn::TarnGlassCard(16, 16);
    auto* content = new QWidget;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    m_dot = new StatusDot(content);
    m_dot->setObjectName(QStringLiteral("proxyStatusDot"));
    row->addWidget(m_dot, 0, Qt::AlignVCenter);

    m_title = makeLabel(fonts::system(headingSize, QFont::Bold, true),
                        tarn::qColor(tarn::TarnColor::white()), content);
    m_title->setObjectName(QStringLiteral("proxyTitle"));
    row->addWidget(m_title, 0, Qt::AlignVCenter);
    row->addStretch(1);

    auto* portLabel = makeLabel(fonts::system(13), tarn::qColor(tokens::textSecondary), content);
    portLabel->setObjectName(QStringLiteral("proxyPortLabel"));
    portLabel->setText(QStringLiteral("Port:"));
    row->addWidget(portLabel, 0, Qt::AlignVCenter);

    m_portField = makeField(QStringLiteral("8787"), content);
    m_portField->setObjectName(QStringLiteral("proxyPortField"));
    m_portField->setFixedWidth(80);
    bindings::bindLineEdit(m_portField, [this](const std::string& text) {
        m_model.setProxyPortText(text);
        m_model.persist();
    });
    row->addWidget(m_portField, 0, Qt::AlignVCenter);

    m_toggleButton = new tarn::TarnPrimaryButton(QString(), content);
    m_toggleButton->setObjectName(QStringLiteral("proxyToggleButton"));
    connect(m_toggleButton, &QAbstractButton::clicked, this,
            [this] { m_model.toggleProxyServer(); });
    row->addWidget(m_toggleButton, 0, Qt::AlignVCenter);

    card->setContent(content);
    return card;
}

QWidget* LocalProxyAndMockView::buildRoutesPane() {
    // Plain variables: the lambdas below capture them, which clang before 16
    // refuses for a structured binding.
    const CardColumn pane = makeCardColumn("routesPane", 14, 14, 10);
    tarn::TarnGlassCard* const card = pane.card;
    QWidget* const content = pane.content;
    QVBoxLayout* const column = pane.column;

    m_routesHeading = makeLabel(fonts::system(headingSize, QFont::Bold),
                                tarn::qColor(tokens::textPrimary), content);
    m_routesHeading->setObjectName(QStringLiteral("routesHeading"));
    column->addWidget(m_routesHeading);

    auto* formRow = new QHBoxLayout;
    formRow->setSpacing(8);
    const auto field = [&](const char* name, const char* placeholder, std::string& value) {
        QLineEdit* edit = makeField(QString::fromUtf8(placeholder), content);
        edit->setObjectName(QString::fromUtf8(name));
        edit->setText(tarn::qt::toQString(value));
        bindings::bindLineEdit(edit, [&value](const std::string& text) { value = text; });
        return edit;
    };
    m_methodField = field("routeMethodField", "GET", m_form.method);
    m_methodField->setFixedWidth(64);
    m_pathField = field("routePathField", "/v1/items", m_form.path);
    m_statusField = field("routeStatusField", "200", m_form.statusText);
    m_statusField->setFixedWidth(56);
    auto* addButton = new tarn::TarnPrimaryButton(QStringLiteral("+"), content);
    addButton->setObjectName(QStringLiteral("addRouteButton"));
    connect(addButton, &QAbstractButton::clicked, this, [this] { addRoute(); });
    formRow->addWidget(m_methodField);
    formRow->addWidget(m_pathField, 1);
    formRow->addWidget(m_statusField);
    formRow->addWidget(addButton);
    column->addLayout(formRow);

    m_bodyField = field("routeBodyField", "Response JSON body", m_form.body);
    m_bodyField->setFont(fonts::system(12, QFont::Normal, true));
    column->addWidget(m_bodyField);

    const ScrollColumn list = makeScrollColumn(6, content);
    list.area->setObjectName(QStringLiteral("routeList"));
    column->addWidget(list.area, 1);
    m_routeRows = std::make_unique<KeyedRowStack>(list.column);
    return card;
}

QWidget* LocalProxyAndMockView::buildCapturedPane() {
    auto [card, content, column] = makeCardColumn("capturedPane", 14, 14, 10);

    m_capturedHeading = makeLabel(fonts::system(headingSize, QFont::Bold),
                                  tarn::qColor(tokens::textPrimary), content);
    m_capturedHeading->setObjectName(QStringLiteral("capturedHeading"));
    column->addWidget(m_capturedHeading);

    const ScrollColumn list = makeScrollColumn(6, content);
    list.area->setObjectName(QStringLiteral("capturedList"));
    column->addWidget(list.area, 1);
    m_capturedRows = std::make_unique<KeyedRowStack>(list.column);
    return card;
}

void LocalProxyAndMockView::addRoute() {
    std::vector<MockRouteRule> routes = m_model.mockRoutes();
    routes.insert(routes.begin(), routeFromForm(m_form));
    m_model.setMockRoutes(std::move(routes));
    // Whether the server runs or not: a running one answers with the new list
    // from its next request on, a stopped one starts with it.
    m_model.proxyService().updateMockRoutes(m_model.mockRoutes());
    m_model.persist();
}

void LocalProxyAndMockView::refresh(const ViewModelChanges* changes) {
    if (needsRefresh(changes, {Field::language}))
        retranslate();
    if (needsRefresh(changes, {Field::isProxyRunning, Field::activeProxyPort, Field::proxyPortText,
                               Field::language}))
        refreshServer();
    if (needsRefresh(changes, {Field::mockRoutes}))
        refreshRoutes();
    if (needsRefresh(changes, {Field::capturedExchanges, Field::language}))
        refreshCaptured();
}

void LocalProxyAndMockView::retranslate() {
    const tarn::TarnLanguage language = m_model.language();
    m_routesHeading->setText(viewText("Custom Mock Routes", "Özel Mock Rotaları", language));
    for (QAbstractButton* replay : findChildren<QAbstractButton*>(QStringLiteral("replayButton")))
        replay->setText(viewText("Replay", "Tekrarla", language));
}

void LocalProxyAndMockView::refreshServer() {
    const tarn::TarnLanguage language = m_model.language();
    const bool running = m_model.isProxyRunning();
    m_dot->setLit(running);
    const QString title =
        running ? QStringLiteral("http://127.0.0.1:") + QString::number(m_model.activeProxyPort())
                : viewText("Local HTTP Capture & Mock Server Stopped",
                           "Yerel HTTP Yakalama & Mock Sunucusu Durduruldu", language);
    m_title->setText(title);
    bindings::refresh(m_portField, m_model.proxyPortText());
    m_portField->setEnabled(!running);
    const QString label = running ? viewText("Stop Server", "Durdur", language)
                                  : viewText("Start Server", "Sunucuyu Başlat", language);
    if (m_toggleButton->text() != label) {
        m_toggleButton->setText(label);
        m_toggleButton->updateGeometry();
    }
}

void LocalProxyAndMockView::refreshRoutes() {
    const auto setText = [](QWidget* row, const MockRouteRule& rule) {
        bindings::refresh(row->findChild<QLabel*>(QStringLiteral("routeText")), routeText(rule));
    };
    m_routeRows->sync(
        m_model.mockRoutes(), [](const MockRouteRule& rule) { return rule.id.string(); },
        [this, setText](const MockRouteRule& rule) {
            auto* row = new tarn::TarnRoundedFill(tarn::qColor(tokens::surface2), 8);
            row->setContentsMargins(8, 8, 8, 8);
            row->setObjectName(QStringLiteral("routeRow"));
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(0, 0, 0, 0);
            auto* text = makeLabel(fonts::system(12, QFont::DemiBold, true), m_accent, row);
            text->setObjectName(QStringLiteral("routeText"));
            line->addWidget(text);
            line->addStretch(1);
            QToolButton* remove = makeTrashButton(row);
            remove->setObjectName(QStringLiteral("removeRouteButton"));
            const tarn::UUID id = rule.id;
            connect(remove, &QAbstractButton::clicked, this,
                    [this, id] { m_model.removeMockRoute(MockRouteRule{.id = id}); });
            line->addWidget(remove);
            setText(row, rule);
            return row;
        },
        setText);
}

void LocalProxyAndMockView::refreshCaptured() {
    const tarn::TarnLanguage language = m_model.language();
    const auto& exchanges = m_model.capturedExchanges();
    m_capturedHeading->setText(
        viewText("Captured Local Requests (", "Yakalanan Yerel İstekler (", language) +
        QString::number(exchanges.size()) + QStringLiteral(")"));

    const auto setTexts = [](QWidget* row, const CapturedProxyExchange& exchange) {
        bindings::refresh(row->findChild<QLabel*>(QStringLiteral("capturedStatus")),
                          tarn::numbers::formatInteger(exchange.statusCode));
        bindings::refresh(row->findChild<QLabel*>(QStringLiteral("capturedText")),
                          exchangeText(exchange));
    };
    m_capturedRows->sync(
        exchanges, [](const CapturedProxyExchange& exchange) { return exchange.id.string(); },
        [this, setTexts, language](const CapturedProxyExchange& exchange) {
            auto* row = new tarn::TarnRoundedFill(tarn::qColor(tokens::surface2), 8);
            row->setContentsMargins(8, 8, 8, 8);
            row->setObjectName(QStringLiteral("capturedRow"));
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(0, 0, 0, 0);
            auto* status =
                makeLabel(fonts::system(11, QFont::Bold, true), tarn::qColor(tokens::success), row);
            status->setObjectName(QStringLiteral("capturedStatus"));
            auto* text = makeLabel(fonts::system(12, QFont::Normal, true),
                                   tarn::qColor(tokens::textPrimary), row);
            text->setObjectName(QStringLiteral("capturedText"));
            auto* replay =
                new tarn::TarnGlassButton(viewText("Replay", "Tekrarla", language), false, row);
            replay->setObjectName(QStringLiteral("replayButton"));
            const tarn::UUID id = exchange.id;
            connect(replay, &QAbstractButton::clicked, this, [this, id] {
                // The row's exchange as the model holds it now.
                for (const CapturedProxyExchange& held : m_model.capturedExchanges()) {
                    if (held.id == id) {
                        m_model.replayExchangeInClient(held);
                        return;
                    }
                }
            });
            line->addWidget(status);
            line->addWidget(text);
            line->addStretch(1);
            line->addWidget(replay);
            setTexts(row, exchange);
            return row;
        },
        setTexts);
}

} // namespace quiller
