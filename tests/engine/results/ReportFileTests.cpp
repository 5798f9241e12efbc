#include "engine/results/ReportFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/engine/compare/ComparisonTestSupport.h"

#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace rowlark::results {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

class ReportFileTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(folder_); }

    void write(const std::string& name, std::string_view text, fs::perms permissions)
    {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        fs::permissions(folder_ / name, permissions);
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::string scratch_ = (fs::temp_directory_path() / "rowlark-report-XXXXXX").string();
    const fs::path folder_ = ::mkdtemp(scratch_.data());
};

// The error writing a report to `path` fails with, or none.
std::error_code writeError(const fs::path& path)
{
    try {
        ReportFile::write(path, "report");
    } catch (const std::system_error& error) {
        return error.code();
    }
    return {};
}

struct DestinationCase {
    std::string name;
    std::optional<fs::perms> existing;  // the target's permissions, none for no target
    bool isThroughLink;
    fs::perms expected;
};

class ReportDestinationTest : public ReportFileTest, public ::testing::WithParamInterface<DestinationCase> {};

TEST_P(ReportDestinationTest, TargetIsReplacedWithItsPermissionsAndLinksKept)
{
    const DestinationCase& destination = GetParam();
    const mode_t previousMask = ::umask(027);
    if (destination.existing)
        write("report.csv", "old report", *destination.existing);
    fs::path path = folder_ / "report.csv";
    if (destination.isThroughLink) {
        fs::create_symlink("report.csv", folder_ / "link.csv");
        path = folder_ / "link.csv";
    }
    const bool isWritten = ReportFile::write(path, "new report");
    ::umask(previousMask);

    EXPECT_TRUE(isWritten);
    EXPECT_EQ(testing_support::contents(folder_ / "report.csv"), "new report");
    EXPECT_EQ(fs::status(folder_ / "report.csv").permissions(), destination.expected);
    EXPECT_EQ(fs::is_symlink(folder_ / "link.csv"), destination.isThroughLink);
    EXPECT_EQ(names().size(), destination.isThroughLink ? 2u : 1u) << "no temporary file left";
}

using enum fs::perms;
INSTANTIATE_TEST_SUITE_P(
    Destinations, ReportDestinationTest,
    ::testing::Values(
        DestinationCase{"NewFileFollowsTheUmask", std::nullopt, false, owner_read | owner_write | group_read},
        DestinationCase{"PrivateFileStaysPrivate", owner_read | owner_write, false, owner_read | owner_write},
        DestinationCase{"OpenFileStaysOpen", owner_read | owner_write | others_read | others_write, false,
                        owner_read | owner_write | others_read | others_write},
        DestinationCase{"LinkedFile", owner_read | owner_write, true, owner_read | owner_write},
        DestinationCase{"DanglingLink", std::nullopt, true, owner_read | owner_write | group_read}),
    [](const auto& info) { return info.param.name; });

TEST_F(ReportFileTest, APipeIsWrittenToAndStaysAPipe)
{
    const fs::path pipe = folder_ / "pipe.csv";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto received = std::async(std::launch::async, [&] { return testing_support::contents(pipe); });
    // The writer refuses a pipe without a reader, so it waits until the reader has opened it.
    for (std::error_code error; (error = writeError(pipe));)
        ASSERT_EQ(error, std::errc::no_such_device_or_address);
    EXPECT_EQ(received.get(), "report");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_THAT(names(), ElementsAre("pipe.csv"));
}

TEST_F(ReportFileTest, StopRequestLeavesEveryTargetUntouched)
{
    write("report.csv", "old report", owner_read | owner_write);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(ReportFile::write(folder_ / "report.csv", "new report", stop.get_token()));
    EXPECT_FALSE(ReportFile::write(folder_ / "new.csv", "new report", stop.get_token()));
    EXPECT_EQ(testing_support::contents(folder_ / "report.csv"), "old report");
    EXPECT_THAT(names(), ElementsAre("report.csv"));
}

// Neither a pipe nobody reads nor a folder is replaced: the write fails at once.
TEST_F(ReportFileTest, APipeWithoutReaderAndAFolderAreRefusedAndKept)
{
    ASSERT_EQ(::mkfifo((folder_ / "pipe.csv").c_str(), 0600), 0);
    fs::create_directory(folder_ / "report.csv");
    EXPECT_EQ(writeError(folder_ / "pipe.csv"), std::errc::no_such_device_or_address);
    EXPECT_EQ(writeError(folder_ / "report.csv"), std::errc::is_a_directory);
    EXPECT_TRUE(fs::is_fifo(folder_ / "pipe.csv"));
    EXPECT_TRUE(fs::is_directory(folder_ / "report.csv"));
}

}  // namespace
}  // namespace rowlark::results
