#include "QuillerApp/Views/APIClientWorkbenchView.h"

#include "QuillerApp/Views/CollectionSidebar.h"
#include "QuillerApp/Views/CurlImportSheet.h"
#include "QuillerApp/Views/RequestEditorPane.h"
#include "QuillerApp/Views/ResponseInspectorPane.h"
#include "QuillerApp/Views/URLActionBar.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/TarnGlassCard.h"

#include <QEasingCurve>
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace quiller {
namespace {

using Field = QuillerViewModelField;

APIClientWorkbenchView::GraphQLDrawerFactory& drawerFactory() {
    static APIClientWorkbenchView::GraphQLDrawerFactory factory;
    return factory;
}

bool& animationsEnabled() {
    static bool enabled = true;
    return enabled;
}

tarn::TarnGlassCard* card(QWidget* content, double padding, QWidget* parent) {
    auto* glass = new tarn::TarnGlassCard(padding, 14, parent);
    glass->setContent(content);
    return glass;
}

} // namespace

void APIClientWorkbenchView::setGraphQLDrawerFactory(GraphQLDrawerFactory factory) {
    drawerFactory() = std::move(factory);
}

void APIClientWorkbenchView::setAnimationsEnabled(bool enabled) {
    animationsEnabled() = enabled;
}

APIClientWorkbenchView::APIClientWorkbenchView(QuillerViewModel& model, ViewModelBridge& bridge,
                                               QWidget* parent)
    : QWidget(parent), m_model(model), m_bridge(bridge), m_ui(std::make_unique<ClientUIState>()) {
    setObjectName(QStringLiteral("APIClientWorkbenchView"));
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    m_sidebar = new workbench::CollectionSidebar(
        m_model, m_bridge, [this] { presentCurlImporter(); }, this);
    root->addWidget(m_sidebar);
    root->addWidget(workbench::divider(Qt::Vertical, this));

    m_mainColumn = new QWidget(this);
    m_mainColumn->setObjectName(QStringLiteral("workbenchMainColumn"));
    auto* column = new QVBoxLayout(m_mainColumn);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    m_urlBar = new workbench::URLActionBar(m_model);
    m_urlCard = card(m_urlBar, 12, m_mainColumn);
    m_urlCard->setObjectName(QStringLiteral("urlCard"));
    column->addWidget(m_urlCard);

    m_panes = new QWidget(m_mainColumn);
    m_panes->setObjectName(QStringLiteral("workbenchPanes"));
    auto* row = new QHBoxLayout(m_panes);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    m_split = new QSplitter(Qt::Horizontal, m_panes);
    m_split->setObjectName(QStringLiteral("workbenchSplit"));
    m_split->setChildrenCollapsible(false);
    m_split->setHandleWidth(12);
    m_editor = new workbench::RequestEditorPane(m_model, *m_ui);
    m_inspector = new workbench::ResponseInspectorPane(m_model, *m_ui);
    auto* editorCard = card(m_editor, 14, m_split);
    editorCard->setObjectName(QStringLiteral("editorCard"));
    editorCard->setMinimumWidth(340);
    auto* inspectorCard = card(m_inspector, 14, m_split);
    inspectorCard->setObjectName(QStringLiteral("inspectorCard"));
    inspectorCard->setMinimumWidth(360);
    m_split->addWidget(editorCard);
    m_split->addWidget(inspectorCard);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 1);
    row->addWidget(m_split, 1);

    m_drawerHost = new QWidget(m_panes);
    m_drawerHost->setObjectName(QStringLiteral("graphQLDrawerHost"));
    auto* drawerLayout = new QVBoxLayout(m_drawerHost);
    drawerLayout->setContentsMargins(0, 0, 0, 0);
    m_drawerHost->setFixedWidth(0);
    m_drawerHost->hide();
    row->addWidget(m_drawerHost);
    column->addWidget(m_panes, 1);
    root->addWidget(m_mainColumn, 1);

    m_drawerSlide = new QVariantAnimation(this);
    m_drawerSlide->setDuration(drawerAnimationMs);
    m_drawerSlide->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_drawerSlide, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { m_drawerHost->setFixedWidth(value.toInt()); });
    connect(m_drawerSlide, &QVariantAnimation::finished, this, [this] {
        if (!m_model.showGraphQLSchemaExplorer())
            m_drawerHost->hide();
    });

    m_curlSheet = new workbench::CurlImportSheet(m_model, *m_ui, this);

    connect(&m_bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { apply(changes); });
    showActiveRequest();
    showDrawer();
}

APIClientWorkbenchView::~APIClientWorkbenchView() = default;

void APIClientWorkbenchView::presentCurlImporter() {
    m_curlSheet->present();
}

bool APIClientWorkbenchView::activeRequestChanged(const ViewModelChanges& changes) const {
    if (changes.containsAny({Field::selectedRequestID, Field::selectedCollectionID}))
        return true;
    if (!changes.contains(Field::collections))
        return false;
    for (const ViewModelChange& change : changes.records) {
        if (change.field != Field::collections)
            continue;
        // An edit of another request leaves the panes as they are.
        if (change.kind == ListChangeKind::updated && change.parent && change.identity &&
            change.identity != m_shownRequestID)
            continue;
        return true;
    }
    return false;
}

void APIClientWorkbenchView::apply(const ViewModelChanges& changes) {
    const bool activeChanged = activeRequestChanged(changes);
    if (activeChanged)
        showActiveRequest();
    m_urlBar->apply(changes);
    m_editor->apply(changes);
    m_inspector->apply(changes, activeChanged);
    if (changes.contains(Field::showGraphQLSchemaExplorer))
        showDrawer();
    if (changes.contains(Field::language))
        m_curlSheet->retranslate();
}

void APIClientWorkbenchView::showActiveRequest() {
    const std::optional<APIRequestSpec> request = m_model.activeRequest();
    m_urlCard->setVisible(request.has_value());
    m_panes->setVisible(request.has_value());
    if (!request) {
        m_shownRequestID.reset();
        return;
    }
    m_shownRequestID = request->id;
    m_urlBar->showRequest(*request);
    m_editor->showRequest(*request);
}

void APIClientWorkbenchView::showDrawer() {
    const bool open = m_model.showGraphQLSchemaExplorer();
    if (open == m_drawerOpen)
        return;
    m_drawerOpen = open;
    if (open) {
        // A fresh drawer each time it opens: its own state starts afresh.
        if (const auto& factory = drawerFactory()) {
            m_drawer = factory(m_model, m_bridge, m_drawerHost);
            if (m_drawer) {
                m_drawer->setObjectName(m_drawer->objectName().isEmpty()
                                            ? QStringLiteral("graphQLDrawer")
                                            : m_drawer->objectName());
                m_drawerHost->layout()->addWidget(m_drawer);
            }
        }
        m_drawerHost->show();
    } else {
        delete m_drawer;
        m_drawer = nullptr;
    }
    const int target = open ? drawerWidth : 0;
    m_drawerSlide->stop();
    if (!animationsEnabled()) {
        m_drawerHost->setFixedWidth(target);
        m_drawerHost->setVisible(open);
        return;
    }
    m_drawerSlide->setStartValue(m_drawerHost->maximumWidth());
    m_drawerSlide->setEndValue(target);
    m_drawerSlide->start();
}

} // namespace quiller
