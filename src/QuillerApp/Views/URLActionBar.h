#pragma once

// The card at the top of the workbench's main column: the active request's
// name, method and URL (each edit written through to the request active at
// that moment and saved), Send, "Copy cURL" and, for GraphQL bodies, the
// schema explorer toggle. Return in the URL field sends, also while a send is
// in flight; the Send button is disabled then.
//
// Threads: the GUI thread.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/ViewModelBridge.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller::workbench {

class BusyIndicator;

class URLActionBar final : public QWidget {
    Q_OBJECT
public:
    explicit URLActionBar(QuillerViewModel& model, QWidget* parent = nullptr);

    // Shows the request's fields; an editor the user is typing in keeps its
    // cursor (only a changed text is spliced in).
    void showRequest(const APIRequestSpec& request);
    // Follows the flags and the language of one turn.
    void apply(const ViewModelChanges& changes);

    QLineEdit* nameField() const { return m_name; }
    QLineEdit* urlField() const { return m_url; }
    QComboBox* methodPicker() const { return m_method; }
    tarn::TarnPrimaryButton* sendButton() const { return m_send; }

private:
    void showSending();
    void showDrawerToggle();
    void retranslate();

    QuillerViewModel& m_model;
    QLineEdit* m_name;
    QComboBox* m_method;
    QLineEdit* m_url;
    tarn::TarnGlassButton* m_schemaExplorer;
    tarn::TarnGlassButton* m_copyCurl;
    tarn::TarnPrimaryButton* m_send;
    BusyIndicator* m_sending;
    bool m_isGraphQL = false;
};

} // namespace quiller::workbench
