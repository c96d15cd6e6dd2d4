// The workspace's secrets through the session keyring that
// scripts/with-session provides.

#include "../WorkspaceTestSupport.h"
#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/System/SecretServiceKeychain.h"
#include "support/NoError.h"
#include "support/SessionKeyring.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

using namespace workspacetest;
using quiller::QuillerWorkspacePayload;
using quiller::QuillerWorkspaceStore;
using tarn::testing::noError;
using tarn::testing::sessionKeyring;

TEST(WorkspaceKeyring, SecretsRoundTripThroughTheSessionKeyring) {
    const std::unique_ptr<tarn::SecretServiceKeychain> keyring = sessionKeyring();
    ASSERT_NE(keyring, nullptr);
    TemporaryFolder temp;

    // A fresh environment id, so that no earlier item can answer for it.
    QuillerWorkspacePayload payload = samplePayload();
    payload.environments[0].id = tarn::UUID::random();
    payload.activeEnvironmentID = payload.environments[0].id;
    const std::string service = "com.corvane.quiller.envsecrets";
    const std::string account = payload.environments[0].id.string() + "::apiToken";

    ASSERT_TRUE(noError(QuillerWorkspaceStore(temp.path(), *keyring).save(payload)));
    EXPECT_EQ(keyring->load(service, account), "s3cr3t/token");
    EXPECT_EQ(tarn::files::readFile(temp.path() / "workspace.json")->find("s3cr3t"),
              std::string::npos);

    QuillerWorkspaceStore nextRun(temp.path(), *keyring);
    QuillerWorkspacePayload loaded = nextRun.load();
    EXPECT_EQ(loaded, payload);

    // Emptied by the user: the item goes, and the value stays empty.
    loaded.environments[0].variables[1].value.clear();
    ASSERT_TRUE(noError(nextRun.save(loaded)));
    EXPECT_EQ(keyring->load(service, account), std::nullopt);
    EXPECT_EQ(QuillerWorkspaceStore(temp.path(), *keyring).load(), loaded);

    keyring->delete_(service, account);
}

} // namespace
