#include "QuillerApp/Views/MCPInspectorView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "QuillerCore/Engine/MCPToolSampleArguments.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <tuple>

namespace quiller {

namespace {

using Field = QuillerViewModelField;
namespace tokens = tarn::TarnGlassTokens;
namespace bindings = tarn::bindings;
namespace fonts = tarn::fonts;

// The dark well behind the editor and the output.
const QColor wellColour() {
    return tarn::qColor(tarn::TarnColor::black(0.28));
}

QPlainTextEdit* makeWellEditor(const QFont& font, QWidget* parent) {
    auto* editor = new QPlainTextEdit(parent);
    editor->setFont(font);
    editor->setFrameShape(QFrame::NoFrame);
    editor->viewport()->setAutoFillBackground(false);
    editor->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    setTextColour(editor, tarn::qColor(tokens::textPrimary));
    return editor;
}

QWidget* inWell(QWidget* content, QWidget* parent) {
    auto* well = new tarn::TarnRoundedFill(wellColour(), 8, parent);
    well->setContentsMargins(8, 8, 8, 8);
    auto* layout = new QVBoxLayout(well);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    return well;
}

} // namespace

QString MCPInspectorView::emptyOutput() {
    return QStringLiteral("\u2014");
}

MCPInspectorView::MCPInspectorView(QuillerViewModel& model, ViewModelBridge& bridge,
                                   QWidget* parent)
    : QWidget(parent), m_model(model), m_accent(studioAccent()) {
    setObjectName(QStringLiteral("MCPInspectorView"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSpacing(14);
    stack->addWidget(buildCommandCard());

    QSplitter* split = makePaneSplit("mcpSplit", buildToolsPane(), buildCallPane(), 2, 3, this);
    stack->addWidget(split, 1);

    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { refresh(&changes); });
    refresh(nullptr);
}

QWidget* MCPInspectorView::buildCommandCard() {
    auto [card, content, column] = makeCardColumn("mcpCommandCard", 16, 16, 10);

    m_heading =
        makeLabel(fonts::system(14.5, QFont::Bold), tarn::qColor(tokens::textPrimary), content);
    m_heading->setObjectName(QStringLiteral("mcpHeading"));
    column->addWidget(m_heading);

    auto* row = new QHBoxLayout;
    m_commandField = makeField(
        QStringLiteral("Command (e.g. npx -y @modelcontextprotocol/server-everything)"), content);
    m_commandField->setObjectName(QStringLiteral("mcpCommandField"));
    m_commandField->setFont(fonts::system(12.5, QFont::Normal, true));
    bindings::bindLineEdit(m_commandField,
                           [this](const std::string& text) { m_model.setMcpCommandLine(text); });
    m_discoverButton = new tarn::TarnPrimaryButton(QString(), content);
    m_discoverButton->setObjectName(QStringLiteral("discoverToolsButton"));
    connect(m_discoverButton, &QAbstractButton::clicked, this,
            [this] { m_model.discoverMCPTools(); });
    row->addWidget(m_commandField, 1);
    row->addWidget(m_discoverButton);
    column->addLayout(row);
    return card;
}

QWidget* MCPInspectorView::buildToolsPane() {
    auto [card, content, column] = makeCardColumn("mcpToolsPane", 14, 14, 8);

    m_toolsHeading =
        makeLabel(fonts::system(13, QFont::Bold), tarn::qColor(tokens::textPrimary), content);
    m_toolsHeading->setObjectName(QStringLiteral("toolsHeading"));
    column->addWidget(m_toolsHeading);

    const ScrollColumn list = makeScrollColumn(6, content);
    list.area->setObjectName(QStringLiteral("toolList"));
    column->addWidget(list.area, 1);
    m_toolRows = std::make_unique<KeyedRowStack>(list.column);
    return card;
}

QWidget* MCPInspectorView::buildCallPane() {
    // Plain variables: the lambdas below capture them, which clang before 16
    // refuses for a structured binding.
    const CardColumn pane = makeCardColumn("mcpCallPane", 14, 14, 10);
    tarn::TarnGlassCard* const card = pane.card;
    QWidget* const content = pane.content;
    QVBoxLayout* const column = pane.column;

    auto* row = new QHBoxLayout;
    m_toolNameField = makeField(QStringLiteral("Tool Name"), content);
    m_toolNameField->setObjectName(QStringLiteral("toolNameField"));
    m_toolNameField->setFont(fonts::system(12.5, QFont::Normal, true));
    bindings::bindLineEdit(
        m_toolNameField, [this](const std::string& text) { m_model.setSelectedMCPToolName(text); });
    m_callButton = new tarn::TarnPrimaryButton(QString(), content);
    m_callButton->setObjectName(QStringLiteral("callToolButton"));
    connect(m_callButton, &QAbstractButton::clicked, this,
            [this] { m_model.invokeSelectedMCPTool(); });
    row->addWidget(m_toolNameField, 1);
    row->addWidget(m_callButton);
    column->addLayout(row);

    const auto sectionLabel = [&](const char* text) {
        QLabel* label = makeLabel(fonts::system(11, QFont::DemiBold),
                                  tarn::qColor(tokens::textSecondary), content);
        label->setText(QString::fromUtf8(text));
        column->addWidget(label);
    };
    sectionLabel("Arguments JSON");
    m_argumentsEditor = makeWellEditor(fonts::system(12, QFont::Normal, true), content);
    m_argumentsEditor->setObjectName(QStringLiteral("argumentsEditor"));
    m_argumentsEditor->setFixedHeight(95);
    bindings::bindPlainTextEdit(
        m_argumentsEditor, [this](const std::string& text) { m_model.setMcpArgumentsJSON(text); });
    column->addWidget(inWell(m_argumentsEditor, content));

    sectionLabel("JSON-RPC Output");
    m_output = makeWellEditor(fonts::system(11.5, QFont::Normal, true), content);
    m_output->setObjectName(QStringLiteral("mcpOutput"));
    m_output->setReadOnly(true);
    m_output->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(inWell(m_output, content), 1);
    return card;
}

void MCPInspectorView::selectTool(const std::string& name) {
    const auto& tools = m_model.mcpTools();
    const auto found = std::find_if(tools.begin(), tools.end(), [&](const MCPToolDescriptor& tool) {
        return tool.name == name;
    });
    if (found == tools.end())
        return;
    const std::string schema = found->inputSchemaJSON;
    m_model.setSelectedMCPToolName(name);
    m_model.setMcpArgumentsJSON(CollectionRunnerAndBenchmarkEngine::sampleArgumentsJSON(schema));
}

void MCPInspectorView::refresh(const ViewModelChanges* changes) {
    if (needsRefresh(changes, {Field::language}))
        retranslate();
    if (needsRefresh(changes, {Field::mcpCommandLine}))
        bindings::refresh(m_commandField, m_model.mcpCommandLine());
    if (needsRefresh(changes, {Field::selectedMCPToolName}))
        bindings::refresh(m_toolNameField, m_model.selectedMCPToolName());
    if (needsRefresh(changes, {Field::mcpArgumentsJSON}))
        bindings::refresh(m_argumentsEditor, m_model.mcpArgumentsJSON());
    if (needsRefresh(changes, {Field::mcpRawLog})) {
        const std::string& log = m_model.mcpRawLog();
        bindings::refresh(m_output, log.empty() ? tarn::qt::toStdString(emptyOutput()) : log);
    }
    if (needsRefresh(changes, {Field::mcpTools, Field::selectedMCPToolName, Field::language}))
        refreshTools();
    if (needsRefresh(changes, {Field::isInspectingMCP, Field::selectedMCPToolName}))
        refreshButtons();
}

void MCPInspectorView::retranslate() {
    const tarn::TarnLanguage language = m_model.language();
    m_heading->setText(viewText("Model Context Protocol (MCP) Stdio Inspector",
                                "Model Context Protocol (MCP) Stdio Test Stüdyosu", language));
    for (auto [button, en, tr] : {std::tuple{m_discoverButton, "Discover Tools", "Araçları Keşfet"},
                                  std::tuple{m_callButton, "Call Tool", "Aracı Çalıştır"}}) {
        const QString text = viewText(en, tr, language);
        if (button->text() != text) {
            button->setText(text);
            button->updateGeometry();
        }
    }
}

void MCPInspectorView::refreshButtons() {
    const bool busy = m_model.isInspectingMCP();
    m_discoverButton->setEnabled(!busy);
    // A name of blanks is a name: the server answers for it.
    m_callButton->setEnabled(!busy && !m_model.selectedMCPToolName().empty());
}

void MCPInspectorView::refreshTools() {
    const auto& tools = m_model.mcpTools();
    m_toolsHeading->setText(
        viewText("Discovered Tools (", "Keşfedilen Araçlar (", m_model.language()) +
        QString::number(tools.size()) + QStringLiteral(")"));

    const std::string& selected = m_model.selectedMCPToolName();
    const QColor highlight = [this] {
        QColor colour = m_accent;
        colour.setAlphaF(0.22F);
        return colour;
    }();
    const auto update = [&](QWidget* widget, const MCPToolDescriptor& tool) {
        auto* row = static_cast<tarn::TarnRoundedFill*>(widget);
        const bool isSelected = tool.name == selected;
        row->setProperty("selected", isSelected);
        row->setFillColor(isSelected ? highlight : tarn::qColor(tokens::surface2));
        bindings::refresh(row->findChild<QLabel*>(QStringLiteral("toolDescription")),
                          tool.description);
    };
    m_toolRows->sync(
        tools, [](const MCPToolDescriptor& tool) { return tool.name; },
        [&](const MCPToolDescriptor& tool) {
            auto* row = new tarn::TarnRoundedFill(tarn::qColor(tokens::surface2), 8);
            row->setContentsMargins(10, 10, 10, 10);
            row->setObjectName(QStringLiteral("toolRow"));
            row->setCursor(Qt::PointingHandCursor);
            auto* lines = new QVBoxLayout(row);
            lines->setContentsMargins(0, 0, 0, 0);
            lines->setSpacing(3);
            auto* name = makeLabel(fonts::system(12.5, QFont::Bold, true), m_accent, row);
            name->setObjectName(QStringLiteral("toolName"));
            name->setText(tarn::qt::toQString(tool.name));
            auto* description =
                makeLabel(fonts::system(11.5), tarn::qColor(tokens::textSecondary), row);
            description->setObjectName(QStringLiteral("toolDescription"));
            description->setWordWrap(true);
            lines->addWidget(name);
            lines->addWidget(description);
            connect(row, &tarn::TarnRoundedFill::clicked, this,
                    [this, key = tool.name] { selectTool(key); });
            update(row, tool);
            return row;
        },
        update);
}

} // namespace quiller
