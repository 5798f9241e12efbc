#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
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
    const std::tuple<const char*, StoredPart, std::optional<ZIPProblem>> cases[] = {
        {"stored", {"a.xml", "<a/>"}, std::nullopt},
        {"encrypted", {"a.xml", "<a/>", 1, 0}, ZIPProblem::unsupported},
        {"compressed by another method", {"a.xml", "<a/>", 0, 12}, ZIPProblem::unsupported},
        {"deflate stream that is not one", {"a.xml", "\xFF\xFF\xFF", 0, 8}, ZIPProblem::damaged},
    };
    for (const auto& [what, part, problem] : cases)
        EXPECT_EQ(problemReading(testing::storedArchive({part}), "a.xml"), problem) << what;
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

// A deflate stream of stored blocks: `content` as it is, 65,535 bytes a block; without its last
// block when `isCut`.
std::string storedBlocks(std::string_view content, bool isCut = false)
{
    constexpr std::size_t blockBytes = 0xFFFF;
    std::string stream;
    for (std::size_t at = 0; at < content.size(); at += blockBytes) {
        const std::string_view block = content.substr(at, blockBytes);
        const bool isLast = at + blockBytes >= content.size();
        if (isLast && isCut)
            break;
        stream.push_back(isLast ? '\x01' : '\x00');
        const auto size = static_cast<std::uint32_t>(block.size());
        testing::appendLittleEndian(stream, size, 2);
        testing::appendLittleEndian(stream, ~size & 0xFFFF, 2);
        stream += block;
    }
    return stream;
}

std::string numberedLines(int count)
{
    std::string text;
    for (int line = 0; line < count; ++line)
        text += "<row r=\"" + std::to_string(line) + "\"/>\n";
    return text;
}

// Large entries inflate on a second thread; what the reader is handed is the same.
TEST(ZIPArchive, ALargeEntryIsHandedOverWholeAndInOrder)
{
    const std::string content = numberedLines(60000);
    const std::string stream = storedBlocks(content);
    const std::string bytes = testing::storedArchive({{"a.xml", stream, 0, 8}, {"b.xml", "<b/>"}});
    std::optional<ZIPArchive> archive = ZIPArchive::open(bytesOf(bytes));
    ASSERT_TRUE(archive.has_value());
    std::size_t chunks = 0;
    std::string read;
    archive->read(*archive->find("a.xml"), [&](std::string_view chunk) {
        ++chunks;
        read += chunk;
    });
    EXPECT_EQ(read, content);
    EXPECT_GT(chunks, 4u);
    EXPECT_EQ(archive->readAll(*archive->find("a.xml")), content) << "read again";
}

TEST(ZIPArchive, ALargeEntryCutShortFailsAfterItsBytesAreRead)
{
    const std::string content = numberedLines(60000);
    const std::string bytes = testing::storedArchive({{"a.xml", storedBlocks(content, true), 0, 8}});
    std::optional<ZIPArchive> archive = ZIPArchive::open(bytesOf(bytes));
    ASSERT_TRUE(archive.has_value());
    std::string read;
    try {
        archive->read(*archive->find("a.xml"), [&](std::string_view chunk) { read += chunk; });
        ADD_FAILURE() << "a cut stream was read whole";
    } catch (const ZIPError& error) {
        EXPECT_EQ(error.problem(), ZIPProblem::damaged);
    }
    EXPECT_EQ(read, content.substr(0, content.size() - content.size() % 0xFFFF));
}

// The reader failing or being cancelled stops the inflating thread, whenever it happens.
TEST(ZIPArchive, AReaderThatStopsStopsTheInflating)
{
    const std::string content = numberedLines(60000);
    const std::string bytes = testing::storedArchive({{"a.xml", storedBlocks(content), 0, 8}});
    std::optional<ZIPArchive> archive = ZIPArchive::open(bytesOf(bytes));
    ASSERT_TRUE(archive.has_value());
    for (const std::size_t stopAt : {1, 2, 5, 9}) {
        std::size_t chunks = 0;
        EXPECT_THROW(archive->read(*archive->find("a.xml"),
                                   [&](std::string_view) {
                                       if (++chunks == stopAt)
                                           throw std::runtime_error("stopped");
                                   }),
                     std::runtime_error)
            << stopAt;
        EXPECT_EQ(chunks, stopAt);
    }
    EXPECT_EQ(archive->readAll(*archive->find("a.xml")), content);
}

}  // namespace
}  // namespace rowlark::workbook
