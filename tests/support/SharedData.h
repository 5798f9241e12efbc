#pragma once

// Files shared beside the repository in ../shared: real-world and hostile workbooks, and the case
// sheets a spreadsheet program wrote. A fresh clone has none of them: the tests that need them
// are then skipped with a notice naming the missing file, so that a run without them says so.

#include <filesystem>
#include <string_view>

#include <gtest/gtest.h>

namespace rowlark::testing {

inline std::filesystem::path sharedFile(std::string_view relative)
{
    return std::filesystem::path(ROWLARK_SHARED_DATA) / relative;
}

}  // namespace rowlark::testing

// Skips the rest of the test, with a notice, when the shared file is absent.
#define ROWLARK_SKIP_WITHOUT_SHARED_FILE(path)                                                                         \
    if (!std::filesystem::exists(path))                                                                                \
    GTEST_SKIP() << (path) << " is absent (a fresh clone has no ../shared): not checked"
