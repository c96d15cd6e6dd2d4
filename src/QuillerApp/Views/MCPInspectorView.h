#pragma once

// The MCP inspector tab: the command that starts a server over standard input
// and output, the tools it offers (a tap picks one and fills in sample
// arguments from its input schema), the call form and the raw JSON-RPC output.
// Everything shown is the view model's; the view keeps no state of its own.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/KeyedRowStack.h"

#include <QColor>
#include <QWidget>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tarn {
class TarnPrimaryButton;
}

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
struct MCPToolDescriptor;
struct ViewModelChanges;

class MCPInspectorView final : public QWidget {
    Q_OBJECT
public:
    MCPInspectorView(QuillerViewModel& model, ViewModelBridge& bridge, QWidget* parent = nullptr);

    // What the output shows while there is no output yet.
    static QString emptyOutput();

private:
    QWidget* buildCommandCard();
    QWidget* buildToolsPane();
    QWidget* buildCallPane();

    // A tap on a tool: it becomes the selected one and its sample arguments
    // replace whatever the editor holds.
    void selectTool(const std::string& name);

    void refresh(const ViewModelChanges* changes);
    void refreshTools();
    void refreshButtons();
    void retranslate();

    QuillerViewModel& m_model;
    QColor m_accent;

    QLabel* m_heading = nullptr;
    QLineEdit* m_commandField = nullptr;
    tarn::TarnPrimaryButton* m_discoverButton = nullptr;
    QLabel* m_toolsHeading = nullptr;
    std::unique_ptr<KeyedRowStack> m_toolRows;
    QLineEdit* m_toolNameField = nullptr;
    tarn::TarnPrimaryButton* m_callButton = nullptr;
    QPlainTextEdit* m_argumentsEditor = nullptr;
    QPlainTextEdit* m_output = nullptr;
};

} // namespace quiller
