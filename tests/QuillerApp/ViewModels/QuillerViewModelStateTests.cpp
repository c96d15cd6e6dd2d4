#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>

namespace quiller::testing {
namespace {

using Field = QuillerViewModel::Field;

TEST_F(ViewModelTest, StartsFromTheStoredWorkspace) {
    const auto first = makeRequest("First");
    workspaceStore->payload.collections = {makeCollection("A", {first})};
    makeViewModel();
    ASSERT_EQ(vm().collections().size(), 1u);
    EXPECT_EQ(vm().selectedRequestID(), first.id);
}

} // namespace
} // namespace quiller::testing
