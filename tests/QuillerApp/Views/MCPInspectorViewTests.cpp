#include "QuillerApp/Views/MCPInspectorView.h"
#include "QuillerCore/Engine/MCPToolSampleArguments.h"
#include "ScreenTestSupport.h"
#include "TarnKit/Design/Bindings.h"
#include "support/QtViewModelTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quiller {
namespace {

using Field = QuillerViewModelField;
using testing::child;
using testing::click;
using testing::typeText;

const std::vector<MCPToolDescriptor> tools = {
    {"echo", "Echoes the message back",
     R"({"type":"object","properties":{"message":{"type":"string"}}})"},
    {"add", "Adds two numbers",
     R"({"type":"object","properties":{"a":{"type":"number"},"b":{"type":"integer"}}})"},
    {"sampleLLM", "Samples from an LLM", "not json"},
};

class MCPViewTest : public testing::QtViewModelTest {
protected:
    MCPViewTest() {
        m_counter =
            vm().addObserver([this](const ViewModelChange& change) { ++writes[change.field]; });
        view = std::make_unique<MCPInspectorView>(vm(), *bridge);
        view->resize(1100, 700);
        view->show();
        endTurn();
    }

    QAbstractButton* button(const char* name) { return child<QAbstractButton>(view.get(), name); }
    QPlainTextEdit* editor() { return child<QPlainTextEdit>(view.get(), "argumentsEditor"); }
    QWidget* row(const std::string& name) {
        for (QWidget* found : view->findChildren<QWidget*>(QStringLiteral("toolRow")))
            if (child<QLabel>(found, "toolName")->text().toStdString() == name)
                return found;
        throw std::runtime_error("no row for " + name);
    }
    // The names of the highlighted rows.
    std::vector<std::string> highlighted() {
        std::vector<std::string> names;
        for (const MCPToolDescriptor& tool : tools)
            if (row(tool.name)->property("selected").toBool())
                names.push_back(tool.name);
        return names;
    }
    void listTools() {
        vm().setMcpTools(tools);
        endTurn();
    }

    // The view model outlives this fixture's members: the counter goes first.
    ~MCPViewTest() override { vm().removeObserver(m_counter); }

    std::map<Field, int> writes;
    std::unique_ptr<MCPInspectorView> view;
    QuillerViewModel::ObserverToken m_counter = 0;
};

TEST_F(MCPViewTest, TheButtonsFollowTheBusyFlagAndTheToolName) {
    const struct {
        std::string toolName;
        bool busy;
        bool discover;
        bool call;
    } cases[] = {
        {"", false, true, false},
        {" ", false, true, true}, // blanks are a name: the server answers for it
        {"no-such-tool", false, true, true},
        {"echo", true, false, false},
        {"", true, false, false},
    };
    for (const auto& c : cases) {
        vm().setSelectedMCPToolName(c.toolName);
        vm().setIsInspectingMCP(c.busy);
        endTurn();
        const std::string label = "name '" + c.toolName + "', busy " + std::to_string(c.busy);
        EXPECT_EQ(button("discoverToolsButton")->isEnabled(), c.discover) << label;
        EXPECT_EQ(button("callToolButton")->isEnabled(), c.call) << label;
        EXPECT_TRUE(child<QLineEdit>(view.get(), "mcpCommandField")->isEnabled()) << label;
        EXPECT_TRUE(editor()->isEnabled()) << label;
    }
}

TEST_F(MCPViewTest, ATapSelectsTheToolAndResetsItsArgumentsEveryTime) {
    EXPECT_EQ(child<QLabel>(view.get(), "toolsHeading")->text(),
              QStringLiteral("Discovered Tools (0)"));
    EXPECT_EQ(child<QPlainTextEdit>(view.get(), "mcpOutput")->toPlainText(), QStringLiteral("—"));
    listTools();
    EXPECT_EQ(child<QLabel>(view.get(), "toolsHeading")->text(),
              QStringLiteral("Discovered Tools (3)"));
    EXPECT_TRUE(highlighted().empty());

    const struct { std::string tool; } taps[] = {{"add"}, {"echo"}, {"echo"}, {"sampleLLM"}};
    for (const auto& tap : taps) {
        // Whatever was typed is overwritten, also for the tool already selected.
        editor()->setFocus();
        QTest::keyClicks(editor(), "x");
        endTurn();
        click(row(tap.tool));
        endTurn();
        EXPECT_EQ(vm().selectedMCPToolName(), tap.tool);
        std::string schema;
        for (const MCPToolDescriptor& tool : tools)
            if (tool.name == tap.tool)
                schema = tool.inputSchemaJSON;
        EXPECT_EQ(vm().mcpArgumentsJSON(),
                  CollectionRunnerAndBenchmarkEngine::sampleArgumentsJSON(schema))
            << tap.tool;
        EXPECT_EQ(tarn::bindings::plainText(editor()).toStdString(), vm().mcpArgumentsJSON());
        EXPECT_EQ(child<QLineEdit>(view.get(), "toolNameField")->text().toStdString(), tap.tool);
        EXPECT_EQ(highlighted(), std::vector<std::string>{tap.tool});
    }
}

TEST_F(MCPViewTest, TypingANameWritesOncePerKeystrokeAndHighlightsTheMatchingRow) {
    listTools();
    auto* name = child<QLineEdit>(view.get(), "toolNameField");
    const std::string typed = "echo";
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const int before = writes[Field::selectedMCPToolName];
        typeText(name, QString(QChar(typed[i])));
        endTurn();
        EXPECT_EQ(writes[Field::selectedMCPToolName], before + 1) << "keystroke " << i + 1;
        EXPECT_EQ(vm().selectedMCPToolName(), typed.substr(0, i + 1));
        EXPECT_EQ(highlighted().empty(), i + 1 < typed.size()) << "only the exact name highlights";
        EXPECT_EQ(name->cursorPosition(), static_cast<int>(i + 1));
    }
    EXPECT_EQ(highlighted(), std::vector<std::string>{"echo"});
    EXPECT_EQ(writes[Field::mcpArgumentsJSON], 0) << "typing a name leaves the arguments alone";
}

TEST_F(MCPViewTest, TheArgumentsEditorWritesOncePerKeystrokeAndIgnoresAnEqualModelValue) {
    editor()->setFocus();
    editor()->selectAll();
    QTest::keyClick(editor(), Qt::Key_Delete);
    endTurn();
    const QString typed = QStringLiteral("{\"ad\":\"Gül\"}");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const int before = writes[Field::mcpArgumentsJSON];
        QTest::sendKeyEvent(QTest::Click, editor(), Qt::Key_unknown, typed.mid(i, 1),
                            Qt::NoModifier);
        endTurn();
        ASSERT_EQ(writes[Field::mcpArgumentsJSON], before + 1) << "keystroke " << i + 1;
        ASSERT_EQ(vm().mcpArgumentsJSON(), typed.left(i + 1).toStdString());
    }

    // The model announces the text the editor already shows: nothing moves.
    QTextCursor cursor = editor()->textCursor();
    cursor.setPosition(3);
    editor()->setTextCursor(cursor);
    const int undoSteps = editor()->document()->availableUndoSteps();
    vm().setMcpArgumentsJSON(typed.toStdString());
    endTurn();
    EXPECT_EQ(editor()->textCursor().position(), 3);
    EXPECT_EQ(editor()->document()->availableUndoSteps(), undoSteps);
    EXPECT_TRUE(editor()->document()->isUndoAvailable());
}

TEST_F(MCPViewTest, DiscoveryFillsTheListTheNameAndTheOutput) {
    mcp->onInspect = [](const testing::FakeMCPInspector::Call&, std::stop_token) {
        return MCPInspectorPort::Inspection{tools, R"({"jsonrpc":"2.0","id":1})"};
    };
    click(button("discoverToolsButton"));
    endTurn();
    EXPECT_FALSE(button("discoverToolsButton")->isEnabled()) << "busy while the server runs";
    EXPECT_FALSE(button("callToolButton")->isEnabled());
    background->runAll();
    endTurn();
    endTurn();
    EXPECT_TRUE(button("discoverToolsButton")->isEnabled());
    EXPECT_EQ(highlighted(), std::vector<std::string>{"echo"}) << "the first tool is selected";
    EXPECT_EQ(child<QPlainTextEdit>(view.get(), "mcpOutput")->toPlainText(),
              QStringLiteral(R"({"jsonrpc":"2.0","id":1})"));
}

TEST_F(MCPViewTest, SwitchingTheLanguageChangesOnlyTheTranslatedTexts) {
    const struct {
        tarn::TarnLanguage language;
        const char* heading;
        const char* tools;
        const char* discover;
        const char* call;
    } cases[] = {
        {tarn::TarnLanguage::tr, "Model Context Protocol (MCP) Stdio Test Stüdyosu",
         "Keşfedilen Araçlar (0)", "Araçları Keşfet", "Aracı Çalıştır"},
        {tarn::TarnLanguage::en, "Model Context Protocol (MCP) Stdio Inspector",
         "Discovered Tools (0)", "Discover Tools", "Call Tool"},
    };
    for (const auto& c : cases) {
        vm().setLanguage(c.language);
        endTurn();
        EXPECT_EQ(child<QLabel>(view.get(), "mcpHeading")->text(), QString::fromUtf8(c.heading));
        EXPECT_EQ(child<QLabel>(view.get(), "toolsHeading")->text(), QString::fromUtf8(c.tools));
        EXPECT_EQ(button("discoverToolsButton")->text(), QString::fromUtf8(c.discover));
        EXPECT_EQ(button("callToolButton")->text(), QString::fromUtf8(c.call));
        EXPECT_EQ(child<QLineEdit>(view.get(), "toolNameField")->placeholderText(),
                  QStringLiteral("Tool Name"));
    }
}

} // namespace
} // namespace quiller
