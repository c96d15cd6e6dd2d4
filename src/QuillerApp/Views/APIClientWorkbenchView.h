#pragma once

// The studio's client tab: the request workbench. A collection sidebar, a
// divider and the main column: the URL and action bar above the request
// editor and the response inspector side by side, and, while the view model
// says so, the GraphQL schema explorer drawer at the trailing edge. The cURL
// import sheet opens from the sidebar.
//
// The screen owns no request data: it shows the view model and writes every
// edit straight into the request active at that moment, saving at once. Its
// own presentation state (tabs, drafts, the sheet) is a ClientUIState that
// starts afresh whenever the screen is built.
//
// The drawer is its own widget, made by the factory set with
// setGraphQLDrawerFactory() (the application sets it once at start-up); the
// workbench makes a fresh drawer each time the drawer opens and deletes it
// when it closes.
//
// Threads: the GUI thread. The view model and the bridge must outlive it.

#include "QuillerApp/Views/ClientUIState.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QSplitter;
class QVariantAnimation;

namespace tarn {
class TarnGlassCard;
}

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
struct ViewModelChanges;

namespace workbench {
class CollectionSidebar;
class CurlImportSheet;
class RequestEditorPane;
class ResponseInspectorPane;
class URLActionBar;
} // namespace workbench

class APIClientWorkbenchView final : public QWidget {
    Q_OBJECT
public:
    // Makes the GraphQL schema explorer drawer, parented to `parent`.
    using GraphQLDrawerFactory =
        std::function<QWidget*(QuillerViewModel& model, ViewModelBridge& bridge, QWidget* parent)>;

    // The drawer's width and the time it takes to slide in or out.
    static constexpr int drawerWidth = 310;
    static constexpr int drawerAnimationMs = 200;

    APIClientWorkbenchView(QuillerViewModel& model, ViewModelBridge& bridge,
                           QWidget* parent = nullptr);
    ~APIClientWorkbenchView() override;

    // For every workbench built afterwards; an empty factory leaves the
    // drawer's place empty.
    static void setGraphQLDrawerFactory(GraphQLDrawerFactory factory);
    // Tests switch the drawer's slide off.
    static void setAnimationsEnabled(bool enabled);

    const ClientUIState& uiState() const { return *m_ui; }
    // Opens the cURL import sheet, as the sidebar's "cURL" button does.
    void presentCurlImporter();

private:
    void apply(const ViewModelChanges& changes);
    // Whether the turn changed the active request or which one is active.
    bool activeRequestChanged(const ViewModelChanges& changes) const;
    void showActiveRequest();
    void showDrawer();

    QuillerViewModel& m_model;
    ViewModelBridge& m_bridge;
    std::unique_ptr<ClientUIState> m_ui;

    workbench::CollectionSidebar* m_sidebar = nullptr;
    QWidget* m_mainColumn = nullptr;
    tarn::TarnGlassCard* m_urlCard = nullptr;
    workbench::URLActionBar* m_urlBar = nullptr;
    QWidget* m_panes = nullptr;
    QSplitter* m_split = nullptr;
    workbench::RequestEditorPane* m_editor = nullptr;
    workbench::ResponseInspectorPane* m_inspector = nullptr;
    QWidget* m_drawerHost = nullptr;
    QWidget* m_drawer = nullptr;
    bool m_drawerOpen = false;
    QVariantAnimation* m_drawerSlide = nullptr;
    workbench::CurlImportSheet* m_curlSheet = nullptr;
    std::optional<tarn::UUID> m_shownRequestID;
};

} // namespace quiller
