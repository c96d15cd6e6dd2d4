// The request workbench's editing: the URL bar, the request editor, the
// key-value rows, the cURL sheet and the drawer toggle, driven as a person
// would over a view model of fakes.

#include "QuillerApp/Views/WorkbenchTestSupport.h"
#include "TarnKit/Design/TarnGlassButtons.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <string>
#include <vector>

namespace quiller {
namespace {

using testing::WorkbenchTest;

TEST_F(WorkbenchTest, TypingIntoTheURLKeepsFocusAndCursorAndSavesEveryKeystroke) {
    auto* url = find<QLineEdit>("urlField");
    url->setFocus();
    url->selectAll();
    press(url, Qt::Key_Delete);
    const std::size_t before = saves();
    const tarn::UUID id = active().id;

    const std::string typed = "abc";
    for (std::size_t i = 0; i < typed.size(); ++i) {
        type(url, QString(QChar(typed[i])));
        ASSERT_EQ(active().url, typed.substr(0, i + 1));
        ASSERT_EQ(saves(), before + i + 1);
        ASSERT_TRUE(url->hasFocus());
        ASSERT_EQ(url->cursorPosition(), static_cast<int>(i + 1));
    }
    EXPECT_EQ(active().id, id);
    EXPECT_EQ(url->text(), QStringLiteral("abc"));

    // The name field renames the request, keystroke by keystroke.
    auto* name = find<QLineEdit>("requestNameField");
    name->setFocus();
    name->end(false);
    type(name, QStringLiteral("!"));
    EXPECT_EQ(active().name, "HTTPBin JSON Get!");
    EXPECT_EQ(saves(), before + 4);
}

TEST_F(WorkbenchTest, AChangeFromElsewhereRefreshesTheFieldsWithoutWritingBack) {
    auto* url = find<QLineEdit>("urlField");
    const std::size_t before = saves();
    editActive([](APIRequestSpec& request) {
        request.url = "https://elsewhere.test/";
        request.method = TarnHTTPMethod::patch;
    });
    EXPECT_EQ(url->text(), QStringLiteral("https://elsewhere.test/"));
    EXPECT_EQ(find<QComboBox>("methodPicker")->currentText(), QStringLiteral("PATCH"));
    EXPECT_EQ(saves(), before) << "a refresh wrote the model back";
}

TEST_F(WorkbenchTest, AnEditThatArrivesAfterTheSelectionIsGoneIsDroppedUnsaved) {
    auto* url = find<QLineEdit>("urlField");
    url->setFocus();
    const std::size_t before = saves();
    // The workspace loses every request; the fields still stand until the
    // turn ends, and a keystroke arrives in between.
    std::vector<APIRequestCollection> emptied = vm().collections();
    for (APIRequestCollection& collection : emptied)
        collection.requests.clear();
    vm().setCollections(emptied);
    QTest::keyClick(url, 'x');
    QTest::keyClick(find<QPlainTextEdit>("bodyEditor"), 'y');
    EXPECT_EQ(saves(), before);
    for (const APIRequestCollection& collection : vm().collections())
        EXPECT_TRUE(collection.requests.empty());

    endTurn();
    EXPECT_FALSE(find<QWidget>("urlCard")->isVisible()) << "the main column is empty";
    EXPECT_FALSE(find<QWidget>("workbenchPanes")->isVisible());
    EXPECT_TRUE(find<QWidget>("collectionSidebar")->isVisible());
}

TEST_F(WorkbenchTest, SendIsDisabledWhileSendingButReturnInTheURLSendsAgain) {
    auto* send = find<tarn::TarnPrimaryButton>("sendButton");
    const QString label = send->text();
    click(send);
    ASSERT_TRUE(vm().isSending());
    EXPECT_FALSE(send->isEnabled());
    EXPECT_TRUE(send->text().isEmpty()) << "the spinner stands in for the label";

    // Pressing the disabled button does nothing; Return in the URL sends.
    click(send);
    press(find<QLineEdit>("urlField"), Qt::Key_Return);
    finishBackgroundWork();
    finishBackgroundWork();
    EXPECT_EQ(execution->executeCalls.size(), 2u);
    EXPECT_FALSE(vm().isSending());
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(send->text(), label);
    EXPECT_EQ(label, QStringLiteral("Send (Ctrl+\u21A9)"));
}

TEST_F(WorkbenchTest, EachBodyKindShowsItsOwnEditorsAndKeepsTheBodyText) {
    editActive([](APIRequestSpec& request) { request.bodyText = "{\"kept\":true}"; });
    struct Case {
        const char* button;
        RequestBodyKind kind;
        bool editor;
        bool graphQL;
    };
    const Case cases[] = {
        {"bodyKind.json", RequestBodyKind::json, true, false},
        {"bodyKind.graphql", RequestBodyKind::graphql, true, true},
        {"bodyKind.rawText", RequestBodyKind::rawText, true, false},
        {"bodyKind.formURLEncoded", RequestBodyKind::formURLEncoded, true, false},
        {"bodyKind.none", RequestBodyKind::none, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const std::size_t before = saves();
        click(c.button);
        EXPECT_EQ(active().bodyKind, c.kind);
        EXPECT_EQ(saves(), before + 1);
        EXPECT_EQ(active().bodyText, "{\"kept\":true}");
        EXPECT_EQ(find<QWidget>("bodyEditor")->isVisible(), c.editor);
        EXPECT_EQ(find<QWidget>("noBody")->isVisible(), !c.editor);
        EXPECT_EQ(find<QWidget>("graphQLSection")->isVisible(), c.graphQL);
        EXPECT_EQ(find<QWidget>("schemaExplorerButton")->isVisible(), c.graphQL);
        EXPECT_TRUE(find<tarn::TarnGlassButton>(c.button)->isActive());
    }
}

TEST_F(WorkbenchTest, TheBodyEditorWritesEveryKeystrokeAndKeepsItsCursorAndUndo) {
    click("bodyKind.json");
    auto* body = find<QPlainTextEdit>("bodyEditor");
    body->setFocus();
    body->selectAll();
    press(body, Qt::Key_Delete);
    type(body, QStringLiteral("{}"));
    QTextCursor cursor = body->textCursor();
    cursor.setPosition(1);
    body->setTextCursor(cursor);
    type(body, QStringLiteral("a"));
    EXPECT_EQ(active().bodyText, "{a}");
    EXPECT_EQ(body->textCursor().position(), 2);
    EXPECT_TRUE(body->document()->isUndoAvailable());
}

TEST_F(WorkbenchTest, TheKeyValuePlusButtonAddsOnlyAKeyThatIsNotTheEmptyString) {
    click("editorTab.headers");
    auto* editor = find<QWidget>("headersEditor");
    auto* key = findIn<QLineEdit>(editor, "keyField");
    auto* value = findIn<QLineEdit>(editor, "valueField");
    auto* add = findIn<QAbstractButton>(editor, "addRowButton");
    struct Case {
        QString key;
        QString value;
        bool added;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("orphan"), false},
        {QStringLiteral(" "), QString(), true},
        {QStringLiteral("X-Trace"), QString(), true},
        {QStringLiteral("X-Trace"), QStringLiteral("second"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.toStdString() + "=" + c.value.toStdString());
        retype(key, c.key);
        retype(value, c.value);
        const std::size_t rowsBefore = active().headers.size();
        const std::size_t before = saves();
        click(add);
        ASSERT_EQ(active().headers.size(), rowsBefore + (c.added ? 1 : 0));
        EXPECT_EQ(saves(), before + (c.added ? 1 : 0));
        if (c.added) {
            const KeyValueRow row = active().headers.back();
            EXPECT_EQ(QString::fromStdString(row.key), c.key);
            EXPECT_EQ(QString::fromStdString(row.value), c.value);
            EXPECT_TRUE(row.isEnabled);
            EXPECT_FALSE(row.isSecret);
            EXPECT_TRUE(key->text().isEmpty());
            EXPECT_TRUE(value->text().isEmpty());
            EXPECT_TRUE(view->uiState().newHeaderVal.empty());
        } else {
            EXPECT_EQ(value->text(), c.value) << "the value draft stays";
        }
    }
    // Duplicate keys are both listed.
    EXPECT_EQ(static_cast<int>(editor->findChildren<QWidget*>(QStringLiteral("row")).size()),
              static_cast<int>(active().headers.size()));

    // Return in either field adds nothing.
    type(key, QStringLiteral("K"));
    type(value, QStringLiteral("V"));
    const std::size_t rows = active().headers.size();
    press(key, Qt::Key_Return);
    press(value, Qt::Key_Return);
    EXPECT_EQ(active().headers.size(), rows);

    // Each tab keeps its own draft.
    click("editorTab.params");
    auto* params = find<QWidget>("paramsEditor");
    EXPECT_TRUE(findIn<QLineEdit>(params, "keyField")->text().isEmpty());
    click("editorTab.headers");
    EXPECT_EQ(key->text(), QStringLiteral("K"));
}

TEST_F(WorkbenchTest, DeletingAKeyValueRowRemovesThatRowOnly) {
    editActive([](APIRequestSpec& request) {
        request.queryParams = {KeyValueRow{.key = "page", .value = "1"},
                               KeyValueRow{.key = "page", .value = "1", .isEnabled = false},
                               KeyValueRow{.key = "token", .value = "s3cret", .isSecret = true}};
    });
    click("editorTab.params");
    auto* params = find<QWidget>("paramsEditor");
    auto rows = params->findChildren<QWidget*>(QStringLiteral("row"));
    ASSERT_EQ(rows.size(), 3);
    // A secret value shows in clear.
    EXPECT_EQ(findIn<QLabel>(rows[2], "rowTrail")->text(), QStringLiteral("s3cret"));
    const tarn::UUID second = active().queryParams[1].id;
    const tarn::UUID first = active().queryParams[0].id;
    click(findIn<QAbstractButton>(rows[0], "deleteRowButton"));
    ASSERT_EQ(active().queryParams.size(), 2u);
    EXPECT_EQ(active().queryParams[0].id, second);
    EXPECT_NE(active().queryParams[0].id, first);
}

TEST_F(WorkbenchTest, AnAssertionTakesThePathDraftEvenWhileItsFieldIsHidden) {
    click("editorTab.assertions");
    auto* kind = find<QComboBox>("assertKindPicker");
    auto* path = find<QLineEdit>("assertPathField");
    EXPECT_EQ(kind->currentText(), QStringLiteral("Status =="));
    EXPECT_EQ(find<QLineEdit>("assertExpectedField")->text(), QStringLiteral("200"));
    EXPECT_FALSE(path->isVisible());

    choose(kind, 2); // "JSONPath =="
    ASSERT_TRUE(path->isVisible());
    path->setFocus();
    type(path, QStringLiteral("$.id"));
    choose(kind, 0);
    EXPECT_FALSE(path->isVisible());

    const std::size_t rules = active().assertions.size();
    const std::size_t before = saves();
    click("addAssertionButton");
    EXPECT_EQ(saves(), before + 1);
    click("addAssertionButton");
    EXPECT_EQ(saves(), before + 2);
    ASSERT_EQ(active().assertions.size(), rules + 2);
    const ResponseAssertionRule a = active().assertions[rules];
    const ResponseAssertionRule b = active().assertions[rules + 1];
    for (const ResponseAssertionRule& rule : {a, b}) {
        EXPECT_EQ(rule.kind, AssertionKind::statusEquals);
        EXPECT_EQ(rule.targetPath, "$.id");
        EXPECT_EQ(rule.expectedValue, "200");
        EXPECT_TRUE(rule.isEnabled);
    }
    EXPECT_NE(a.id, b.id);

    // Rows read "label path expected"; an empty path leaves two blanks.
    auto* list = find<QWidget>("assertionRules");
    auto rows = list->findChildren<QWidget*>(QStringLiteral("row"));
    ASSERT_EQ(static_cast<std::size_t>(rows.size()), rules + 2);
    EXPECT_EQ(findIn<QLabel>(rows[0], "rowLead")->text(), QStringLiteral("Status ==  200"));
    EXPECT_EQ(findIn<QLabel>(rows.back(), "rowLead")->text(), QStringLiteral("Status == $.id 200"));

    click(findIn<QAbstractButton>(rows[static_cast<qsizetype>(rules)], "deleteRowButton"));
    ASSERT_EQ(active().assertions.size(), rules + 1);
    EXPECT_EQ(active().assertions.back().id, b.id);
}

TEST_F(WorkbenchTest, AuthKindsShowTheirFieldsAndKeepTheOthersValues) {
    click("editorTab.auth");
    auto* kind = find<QComboBox>("authKindPicker");
    choose(kind, 1); // bearer
    auto* token = find<QLineEdit>("bearerTokenField");
    ASSERT_TRUE(token->isVisible());
    token->setFocus();
    type(token, QStringLiteral("t0k"));
    EXPECT_EQ(active().auth.bearerToken, "t0k");

    choose(kind, 2); // basic
    EXPECT_FALSE(token->isVisible());
    EXPECT_TRUE(find<QLineEdit>("basicUsernameField")->isVisible());
    auto* password = find<QLineEdit>("basicPasswordField");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    choose(kind, 3); // API key header
    EXPECT_EQ(find<QLineEdit>("apiKeyHeaderNameField")->text(), QStringLiteral("X-API-Key"));
    choose(kind, 0);
    for (const char* field : {"bearerTokenField", "basicUsernameField", "basicPasswordField",
                              "apiKeyHeaderNameField", "apiKeyValueField"})
        EXPECT_FALSE(find<QWidget>(field)->isVisible()) << field;
    EXPECT_EQ(active().auth.kind, RequestAuthKind::none);
    EXPECT_EQ(active().auth.bearerToken, "t0k");
}

TEST_F(WorkbenchTest, SwitchingRequestsKeepsTheTabsAndTheDrafts) {
    click("editorTab.headers");
    auto* key = findIn<QLineEdit>(find<QWidget>("headersEditor"), "keyField");
    key->setFocus();
    type(key, QStringLiteral("Half"));
    click("responseTab.code");

    const APIRequestCollection& collection = vm().collections().front();
    vm().setSelectedRequestID(collection.requests[1].id);
    endTurn();
    EXPECT_EQ(find<QLineEdit>("requestNameField")->text(), QStringLiteral("Echo POST Payload"));
    EXPECT_TRUE(find<tarn::TarnGlassButton>("editorTab.headers")->isActive());
    EXPECT_TRUE(find<tarn::TarnGlassButton>("responseTab.code")->isActive());
    EXPECT_EQ(key->text(), QStringLiteral("Half"));
    EXPECT_EQ(view->uiState().newHeaderKey, "Half");
}

TEST_F(WorkbenchTest, TheCurlSheetImportsItsDraftAndKeepsIt) {
    click("curlButton");
    auto* sheet = find<QWidget>("curlImportSheet");
    auto* draft = find<QPlainTextEdit>("curlDraftEditor");
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_TRUE(view->uiState().showCurlImporter);
    EXPECT_EQ(draft->toPlainText().toStdString(), ClientUIState::sampleCurl);
    const auto selectedBefore = vm().selectedRequestID();

    click("curlImportButton");
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(view->uiState().showCurlImporter);
    const APIRequestSpec imported = vm().collections().front().requests.front();
    EXPECT_EQ(imported.method, TarnHTTPMethod::post);
    EXPECT_EQ(imported.url, "https://httpbin.org/post");
    EXPECT_EQ(vm().selectedRequestID(), imported.id);
    EXPECT_NE(vm().selectedRequestID(), selectedBefore);
    EXPECT_EQ(find<QLineEdit>("urlField")->text(), QStringLiteral("https://httpbin.org/post"));

    // Reopened: the same text. Edited and cancelled: the edit stays.
    click("curlButton");
    EXPECT_EQ(draft->toPlainText().toStdString(), ClientUIState::sampleCurl);
    draft->selectAll();
    type(draft, QStringLiteral("nonsense"));
    click("curlCancelButton");
    EXPECT_FALSE(sheet->isVisible());
    click("curlButton");
    EXPECT_EQ(draft->toPlainText(), QStringLiteral("nonsense"));

    // A command that cannot be read: the sheet closes, nothing is added, the
    // draft stays and the view model says why.
    const std::size_t requests = vm().collections().front().requests.size();
    click("curlImportButton");
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(vm().collections().front().requests.size(), requests);
    EXPECT_TRUE(vm().toastIsError());
    click("curlButton");
    EXPECT_EQ(draft->toPlainText(), QStringLiteral("nonsense"));

    // Escape dismisses it like Cancel.
    press(draft, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(view->uiState().showCurlImporter);
}

TEST_F(WorkbenchTest, TheDrawerOpensWithAFreshDrawerAndClosesWithTheToggle) {
    int made = 0;
    QPointer<QWidget> drawer;
    APIClientWorkbenchView::setGraphQLDrawerFactory(
        [&](QuillerViewModel&, ViewModelBridge&, QWidget* parent) {
            ++made;
            drawer = new QWidget(parent);
            return drawer.data();
        });
    // The toggle shows only for GraphQL bodies.
    auto* toggle = find<tarn::TarnGlassButton>("schemaExplorerButton");
    EXPECT_FALSE(toggle->isVisible());
    editActive([](APIRequestSpec& request) { request.bodyKind = RequestBodyKind::graphql; });
    ASSERT_TRUE(toggle->isVisible());

    // Wide enough for both panes' minimum widths beside the drawer.
    view->resize(1440, 760);
    endTurn();
    auto* host = find<QWidget>("graphQLDrawerHost");
    const int splitWidth = find<QWidget>("workbenchSplit")->width();
    click(toggle);
    EXPECT_TRUE(vm().showGraphQLSchemaExplorer());
    EXPECT_TRUE(toggle->isActive());
    EXPECT_TRUE(find<tarn::TarnGlassButton>("introspectButton")->isActive());
    EXPECT_TRUE(host->isVisible());
    EXPECT_EQ(host->width(), APIClientWorkbenchView::drawerWidth);
    EXPECT_EQ(made, 1);
    ASSERT_TRUE(drawer);
    EXPECT_EQ(drawer->parentWidget(), host);
    endTurn(); // the layout follows in the next turn
    EXPECT_EQ(find<QWidget>("workbenchSplit")->width(),
              splitWidth - APIClientWorkbenchView::drawerWidth - 12);

    // Leaving GraphQL hides the toggle, not the drawer.
    click("bodyKind.json");
    EXPECT_FALSE(toggle->isVisible());
    EXPECT_TRUE(host->isVisible());

    vm().setShowGraphQLSchemaExplorer(false);
    endTurn();
    EXPECT_FALSE(host->isVisible());
    EXPECT_FALSE(drawer) << "a closed drawer is deleted";
    endTurn();
    EXPECT_EQ(find<QWidget>("workbenchSplit")->width(), splitWidth);

    // Each opening builds a new drawer, so its own state starts afresh.
    click("bodyKind.graphql");
    click(toggle);
    EXPECT_EQ(made, 2);
    click(toggle);
    EXPECT_FALSE(vm().showGraphQLSchemaExplorer());
}

TEST_F(WorkbenchTest, IntrospectionShowsASpinnerAndCannotBeStartedTwice) {
    click("bodyKind.graphql");
    auto* introspect = find<tarn::TarnGlassButton>("introspectButton");
    EXPECT_EQ(introspect->text(), QStringLiteral("Introspect Schema"));
    click(introspect);
    EXPECT_TRUE(vm().isIntrospectingGraphQL());
    EXPECT_TRUE(vm().showGraphQLSchemaExplorer());
    EXPECT_FALSE(introspect->isEnabled());
    EXPECT_TRUE(introspect->text().isEmpty());
    finishBackgroundWork();
    EXPECT_FALSE(vm().isIntrospectingGraphQL());
    EXPECT_TRUE(introspect->isEnabled());
    EXPECT_EQ(execution->introspectionCalls.size(), 1u);
}

} // namespace
} // namespace quiller
