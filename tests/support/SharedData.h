#pragma once

// Files shared beside the repository in ../shared: real-world and hostile workbooks, and the case
// sheets a spreadsheet program wrote. A fresh clone has none of them: the tests that need them are
// then skipped with a notice, except under CI=true, where a missing file fails the test, so that
// a continuous-integration run never passes without having read them.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace rowlark::testing {

inline std::filesystem::path sharedFile(std::string_view relative)
{
    return std::filesystem::path(ROWLARK_SHARED_DATA) / relative;
}

inline bool isContinuousIntegration()
{
    const char* value = std::getenv("CI");
    return value != nullptr && std::string_view(value) == "true";
}

// Whether `path` exists; when it does not, says so and, under CI=true, fails the running test.
inline bool isSharedFilePresent(const std::filesystem::path& path)
{
    if (std::filesystem::exists(path))
        return true;
    if (isContinuousIntegration())
        ADD_FAILURE() << path << " is absent, and CI=true requires the shared test files";
    return false;
}

}  // namespace rowlark::testing

// Skips the rest of the test, with a notice, when the shared file is absent.
#define ROWLARK_SKIP_WITHOUT_SHARED_FILE(path)                                                                         \
    if (!::rowlark::testing::isSharedFilePresent(path))                                                                \
    GTEST_SKIP() << (path) << " is absent (a fresh clone has no ../shared): not checked"
