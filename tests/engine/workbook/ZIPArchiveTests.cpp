#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/workbook/container/ZIPArchive.h"
#include "tests/support/ZIPWriting.h"

namespace rowlark::workbook {
namespace {

using testing::StoredPart;

std::span<const unsigned char> bytesOf(const std::string& text)
{
    return std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

std::optional<ZIPProblem> problemReading(const std::string& bytes, std::string_view name)
{
    std::optional<ZIPArchive> archive = ZIPArchive::open(bytesOf(bytes));
    EXPECT_TRUE(archive.has_value());
    try {
        archive->readAll(*archive->find(name));
    } catch (const ZIPError& error) {
        return error.problem();
    }
    return std::nullopt;
}

TEST(ZIPArchive, EntriesItCannotInflateAreItsOwnProblem)
{
    struct Case {
        const char* what;
        StoredPart part;
        std::optional<ZIPProblem> problem;
    };
    const std::vector<Case> cases{
        {"stored", {"a.xml", "<a/>"}, std::nullopt},
        {"encrypted", {"a.xml", "<a/>", 1, 0}, ZIPProblem::unsupported},
        {"compressed by another method", {"a.xml", "<a/>", 0, 12}, ZIPProblem::unsupported},
        {"deflate stream that is not one", {"a.xml", "\xFF\xFF\xFF", 0, 8}, ZIPProblem::damaged},
    };
    for (const Case& test : cases)
        EXPECT_EQ(problemReading(testing::storedArchive({test.part}), "a.xml"), test.problem) << test.what;
}

TEST(ZIPArchive, CheckingUnreadEntriesLeavesThoseItCannotInflate)
{
    const std::string bytes = testing::storedArchive(
        {{"read.xml", "<r/>"}, {"locked.xml", "<l/>", 1, 0}, {"bzip2.xml", "<b/>", 0, 12}, {"plain.xml", "<p/>"}});
    std::optional<ZIPArchive> archive = ZIPArchive::open(bytesOf(bytes));
    ASSERT_TRUE(archive.has_value());
    EXPECT_EQ(archive->readAll(*archive->find("read.xml")), "<r/>");
    EXPECT_NO_THROW(archive->checkUnreadEntries());

    const std::string damaged = testing::storedArchive({{"read.xml", "<r/>"}, {"broken.xml", "\xFF\xFF", 0, 8}});
    archive = ZIPArchive::open(bytesOf(damaged));
    ASSERT_TRUE(archive.has_value());
    archive->readAll(*archive->find("read.xml"));
    try {
        archive->checkUnreadEntries();
        ADD_FAILURE() << "a damaged unread entry went unnoticed";
    } catch (const ZIPError& error) {
        EXPECT_EQ(error.problem(), ZIPProblem::damaged);
    }
}

TEST(ZIPArchive, NamesAreFoundIgnoringCaseAndTheKindOfSlash)
{
    const std::string bytes = testing::storedArchive({{"xl\\Worksheets\\Sheet1.xml", "<s/>"}, {"other.xml", ""}});
    std::optional<ZIPArchive> archive = ZIPArchive::open(bytesOf(bytes));
    ASSERT_TRUE(archive.has_value());
    const ZIPEntry* entry = archive->find("XL/worksheets/sheet1.XML");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, "xl\\Worksheets\\Sheet1.xml");
    EXPECT_EQ(archive->find("xl/worksheets/sheet2.xml"), nullptr);
}

TEST(ZIPArchive, OtherBytesAreNoArchiveAndACutDirectoryIsDamaged)
{
    EXPECT_FALSE(ZIPArchive::open(bytesOf("id,name\n1,a\n")).has_value());
    std::string bytes = testing::storedArchive({{"a.xml", "<a/>"}});
    bytes.erase(bytes.find("PK\x01\x02"), 10);
    try {
        ZIPArchive::open(bytesOf(bytes));
        ADD_FAILURE() << "a cut directory was accepted";
    } catch (const ZIPError& error) {
        EXPECT_EQ(error.problem(), ZIPProblem::damaged);
    }
}

}  // namespace
}  // namespace rowlark::workbook
