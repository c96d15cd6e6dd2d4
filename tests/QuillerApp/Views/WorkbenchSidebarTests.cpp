// The collection sidebar: a list model under a delegate that follows the
// view model row by row.

#include "QuillerApp/Views/CollectionSidebar.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "QuillerApp/Views/WorkbenchTestSupport.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <vector>

namespace quiller {
namespace {

using testing::WorkbenchTest;
using workbench::CollectionSidebar;
using workbench::CollectionSidebarModel;

class SidebarTest : public WorkbenchTest {
protected:
    SidebarTest()
        : sidebar(view->findChild<CollectionSidebar*>(QStringLiteral("collectionSidebar"))),
          model(sidebar->listModel()) {}

    // The model's rows as "HEADER" and "METHOD name" texts.
    std::vector<std::string> rows() const {
        std::vector<std::string> shown;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row);
            shown.push_back(
                index.data(CollectionSidebarModel::IsHeaderRole).toBool()
                    ? index.data().toString().toStdString()
                    : index.data(CollectionSidebarModel::MethodRole).toString().toStdString() +
                          " " + index.data().toString().toStdString());
        }
        return shown;
    }
    std::vector<int> selectedRows() const {
        std::vector<int> selected;
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row).data(CollectionSidebarModel::SelectedRole).toBool())
                selected.push_back(row);
        return selected;
    }

    CollectionSidebar* sidebar;
    CollectionSidebarModel* model;
};

TEST_F(SidebarTest, ListsCollectionsUpperCasedWithTheirRequestsAndTheActiveOneSelected) {
    APIRequestCollection second =
        testing::makeCollection("Billing api", {testing::makeRequest("Refund"),
                                                testing::makeRequest("Line one\nline two")});
    second.requests[0].method = TarnHTTPMethod::delete_;
    APIRequestCollection empty = testing::makeCollection("Empty", {});
    std::vector<APIRequestCollection> collections = vm().collections();
    collections.push_back(second);
    collections.push_back(empty);
    vm().setCollections(collections);
    endTurn();
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          "STARTER SAMPLES", "GET HTTPBin JSON Get", "POST Echo POST Payload",
                          "GET Local Mock Health Check", "BILLING API", "DELETE Refund",
                          "GET Line one\nline two", "EMPTY"}));
    EXPECT_EQ(vm().collections()[1].name, "Billing api") << "stored unchanged";
    EXPECT_EQ(selectedRows(), std::vector<int>{1});

    // A click on a row of another collection selects both.
    sidebar->selectRow(5);
    endTurn();
    EXPECT_EQ(vm().selectedCollectionID(), second.id);
    EXPECT_EQ(vm().selectedRequestID(), second.requests[0].id);
    EXPECT_EQ(selectedRows(), std::vector<int>{5});
    EXPECT_EQ(find<QLineEdit>("requestNameField")->text(), QStringLiteral("Refund"));
    // A header selects nothing.
    sidebar->selectRow(4);
    endTurn();
    EXPECT_EQ(vm().selectedRequestID(), second.requests[0].id);
}

TEST_F(SidebarTest, MethodLabelsTakeTheirColours) {
    using namespace tarn::TarnGlassTokens;
    const struct {
        TarnHTTPMethod method;
        QColor colour;
    } cases[] = {
        {TarnHTTPMethod::get, tarn::qColor(success)},
        {TarnHTTPMethod::post, tarn::qColor(warning)},
        {TarnHTTPMethod::put, studioAccent()},
        {TarnHTTPMethod::patch, studioAccent()},
        {TarnHTTPMethod::delete_, tarn::qColor(danger)},
        {TarnHTTPMethod::head, tarn::qColor(textSecondary)},
        {TarnHTTPMethod::options, tarn::qColor(textSecondary)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(rawValue(c.method)));
        choose(find<QComboBox>("methodPicker"), static_cast<int>(&c - cases));
        EXPECT_EQ(active().method, c.method);
        const QModelIndex row = model->index(1);
        EXPECT_EQ(row.data(CollectionSidebarModel::MethodRole).toString().toStdString(),
                  rawValue(c.method));
        EXPECT_EQ(row.data(CollectionSidebarModel::MethodColourRole).value<QColor>(), c.colour);
    }
}

TEST_F(SidebarTest, ARenameRepaintsItsRowAndASelectionChangeOnlyTwoRows) {
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    auto* name = find<QLineEdit>("requestNameField");
    name->setFocus();
    name->end(false);
    type(name, QStringLiteral("!"));
    EXPECT_EQ(model->index(1).data().toString(), QStringLiteral("HTTPBin JSON Get!"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 1);

    // A keystroke in the URL changes nothing the sidebar shows.
    changed.clear();
    type(find<QLineEdit>("urlField"), QStringLiteral("x"));
    EXPECT_TRUE(changed.isEmpty());

    sidebar->selectRow(3);
    endTurn();
    std::vector<int> repainted;
    for (const QList<QVariant>& signal : changed)
        repainted.push_back(signal[0].toModelIndex().row());
    EXPECT_EQ(repainted, (std::vector<int>{1, 3}));
    EXPECT_EQ(reset.size(), 0);
}

TEST_F(SidebarTest, AddingAndDeletingMoveRowsWithoutRebuildingTheList) {
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    click("addRequestButton");
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 4);
    EXPECT_EQ(rows().back(), "GET New Request");
    EXPECT_EQ(selectedRows(), std::vector<int>{4});

    // The context menu deletes without confirmation; the selected request's
    // removal selects the collection's first request.
    QMenu* menu = sidebar->contextMenuFor(4);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Delete Request"));
    menu->actions()[0]->trigger();
    endTurn();
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_EQ(selectedRows(), std::vector<int>{1});

    // Deleting another request keeps the selection.
    sidebar->selectRow(2);
    endTurn();
    sidebar->contextMenuFor(3)->actions()[0]->trigger();
    endTurn();
    EXPECT_EQ(rows(), (std::vector<std::string>{"STARTER SAMPLES", "GET HTTPBin JSON Get",
                                                "POST Echo POST Payload"}));
    EXPECT_EQ(selectedRows(), std::vector<int>{2});
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(sidebar->contextMenuFor(0), nullptr) << "headers have no menu";
}

TEST_F(SidebarTest, ALargeImportIsListedByTheModelNotByWidgets) {
    APIRequestCollection imported = testing::makeCollection("Imported", {});
    for (int i = 0; i < 2000; ++i)
        imported.requests.push_back(testing::makeRequest("Endpoint " + std::to_string(i)));
    std::vector<APIRequestCollection> collections = vm().collections();
    collections.insert(collections.begin(), imported);
    vm().setCollections(collections);
    endTurn();
    EXPECT_EQ(model->rowCount(), 2005);
    EXPECT_LT(sidebar->findChildren<QWidget*>().size(), 40);
    EXPECT_EQ(model->index(2000).data().toString(), QStringLiteral("Endpoint 1999"));
}

} // namespace
} // namespace quiller
