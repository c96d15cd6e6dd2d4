#pragma once

// The mock and capture server tab: the server header (status, address, port
// field and the start/stop switch), the custom routes with the form for a new
// one, and the requests the server captured, each of which replays in the
// client. The view owns only the route form; a tab switch builds a fresh
// view and with it a fresh form.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/KeyedRowStack.h"
#include "QuillerApp/Views/MockRouteForm.h"

#include <QColor>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace tarn {
class TarnPrimaryButton;
}

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
class StatusDot;
struct ViewModelChanges;

class LocalProxyAndMockView final : public QWidget {
    Q_OBJECT
public:
    LocalProxyAndMockView(QuillerViewModel& model, ViewModelBridge& bridge,
                          QWidget* parent = nullptr);

    const MockRouteFormState& form() const { return m_form; }

private:
    QWidget* buildHeader();
    QWidget* buildRoutesPane();
    QWidget* buildCapturedPane();

    // The "+" button: the new rule first, the whole list to the server, saved.
    void addRoute();

    void refresh(const ViewModelChanges* changes);
    void refreshServer();
    void refreshRoutes();
    void refreshCaptured();
    void retranslate();

    QuillerViewModel& m_model;
    MockRouteFormState m_form;
    QColor m_accent;

    StatusDot* m_dot = nullptr;
    QLabel* m_title = nullptr;
    QLineEdit* m_portField = nullptr;
    tarn::TarnPrimaryButton* m_toggleButton = nullptr;
    QLabel* m_routesHeading = nullptr;
    QLineEdit* m_methodField = nullptr;
    QLineEdit* m_pathField = nullptr;
    QLineEdit* m_statusField = nullptr;
    QLineEdit* m_bodyField = nullptr;
    QLabel* m_capturedHeading = nullptr;
    std::unique_ptr<KeyedRowStack> m_routeRows;
    std::unique_ptr<KeyedRowStack> m_capturedRows;
};

} // namespace quiller
