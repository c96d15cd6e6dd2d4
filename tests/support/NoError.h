#pragma once

#include "TarnKit/Platform/PlatformError.h"

#include <gtest/gtest.h>
#include <optional>

namespace tarn::testing {

// For operations that report failure as an optional error (a store's save):
// `ASSERT_TRUE(noError(store.save(payload)))` fails with the error's text.
inline ::testing::AssertionResult noError(const std::optional<PlatformError>& error) {
    if (!error)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "failed: " << error->domain() << " " << error->code() << ": " << error->description();
}

} // namespace tarn::testing
