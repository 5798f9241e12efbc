#include "engine/workbook/WorkbookPayload.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <utility>

namespace rowlark::workbook {
namespace {

// Streams the payload into the table's cell storage without building a document, so that a
// sheet of millions of cells is held once as JSON text and once as cells, never as objects.
class PayloadHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, PayloadHandler> {
public:
    explicit PayloadHandler(std::size_t expectedBytes)
        : expectedBytes_(expectedBytes)
    {
    }

    bool Default() { return skipping(); }

    bool Bool(bool value)
    {
        if (depth_ == 2 && member_ == Member::sheetsHidden) {
            hiddenFlags_.push_back(value);
            return true;
        }
        return skipping();
    }

    bool Null()
    {
        if (depth_ == 1 && member_ == Member::rows) {
            clearRows();
            return true;
        }
        return skipping();
    }

    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        const std::string_view value(text, length);
        if (depth_ == 2 && member_ == Member::sheetNames) {
            payload_.sheets.push_back({std::string(value), false});
            return true;
        }
        if (depth_ == 3 && member_ == Member::rows) {
            appendCell(value);
            return true;
        }
        return skipping();
    }

    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        if (depth_ != 1)
            return true;
        const std::string_view key(text, length);
        member_ = key == "sheetNames"     ? Member::sheetNames
                  : key == "sheetsHidden" ? Member::sheetsHidden
                  : key == "rows"         ? Member::rows
                                          : Member::other;
        return true;
    }

    bool StartObject()
    {
        if (depth_ == 0) {
            ++depth_;
            return true;
        }
        if (!skipping())
            return false;
        ++depth_;
        return true;
    }

    bool EndObject(rapidjson::SizeType)
    {
        --depth_;
        if (depth_ == 1)
            member_ = Member::other;
        return true;
    }

    bool StartArray()
    {
        if (depth_ == 0)
            return false;
        if (depth_ == 1 && member_ == Member::sheetNames) {
            hasSheetNames_ = true;
            payload_.sheets.clear();
        } else if (depth_ == 1 && member_ == Member::sheetsHidden) {
            hiddenFlags_.clear();
        } else if (depth_ == 1 && member_ == Member::rows) {
            clearRows();
        } else if (depth_ == 2 && member_ == Member::rows) {
            column_ = 0;
        } else if (!skipping()) {
            return false;
        }
        ++depth_;
        return true;
    }

    bool EndArray(rapidjson::SizeType)
    {
        --depth_;
        if (depth_ == 2 && member_ == Member::rows)
            endRow();
        else if (depth_ == 1)
            member_ = Member::other;
        return true;
    }

    std::optional<WorkbookPayload> finish() &&
    {
        if (!hasSheetNames_)
            return std::nullopt;
        for (std::size_t index = 0; index < hiddenFlags_.size() && index < payload_.sheets.size(); ++index)
            payload_.sheets[index].isHidden = hiddenFlags_[index];
        if (builder_)
            payload_.laterRows.emplace(std::move(*builder_).build());
        return std::move(payload_);
    }

private:
    enum class Member { other, sheetNames, sheetsHidden, rows };

    // Values of members other than the two known ones are passed over, whatever their type.
    bool skipping() const { return depth_ >= 1 && member_ == Member::other; }

    void clearRows()
    {
        payload_.rowCount = 0;
        payload_.firstRow.clear();
        builder_.reset();
    }

    void appendCell(std::string_view cell)
    {
        if (!builder_)
            payload_.firstRow.emplace_back(cell);
        else if (column_ < payload_.firstRow.size())
            builder_->appendCell(cell);
        ++column_;
    }

    void endRow()
    {
        if (builder_) {
            for (; column_ < payload_.firstRow.size(); ++column_)
                builder_->appendCell({});
        } else {
            builder_.emplace(payload_.firstRow.size(), 0, expectedBytes_);
        }
        ++payload_.rowCount;
    }

    WorkbookPayload payload_;
    std::optional<table::CellStoreBuilder> builder_;
    std::size_t expectedBytes_;
    std::size_t depth_ = 0;
    std::size_t column_ = 0;
    Member member_ = Member::other;
    bool hasSheetNames_ = false;
    std::vector<bool> hiddenFlags_;
};

int hexDigit(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// The UTF-16 unit of the escape "\uXXXX" at `offset`; none when there is no such escape.
std::optional<unsigned> escapedUnit(std::string_view json, std::size_t offset)
{
    if (offset + 6 > json.size() || json[offset] != '\\' || json[offset + 1] != 'u')
        return std::nullopt;
    unsigned unit = 0;
    for (std::size_t i = offset + 2; i < offset + 6; ++i) {
        const int digit = hexDigit(json[i]);
        if (digit < 0)
            return std::nullopt;
        unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return unit;
}

// The script engine writes a lone surrogate in a text as its escape ("\ud800"), which is not
// UTF-16 and which the JSON reader refuses. Each becomes U+FFFD, as other invalid text does;
// the escape and its replacement are both six bytes, so the text keeps its length. None when
// the text has no lone surrogate.
std::optional<std::string> withLoneSurrogatesReplaced(std::string_view json)
{
    std::optional<std::string> replaced;
    for (std::size_t offset = json.find('\\'); offset != std::string_view::npos; offset = json.find('\\', offset)) {
        const std::optional<unsigned> unit = escapedUnit(json, offset);
        if (!unit) {
            offset += 2;  // any other escape, "\\" included
            continue;
        }
        const bool isHigh = *unit >= 0xD800 && *unit < 0xDC00;
        const bool isLow = *unit >= 0xDC00 && *unit < 0xE000;
        const std::optional<unsigned> next = isHigh ? escapedUnit(json, offset + 6) : std::nullopt;
        if (isHigh && next && *next >= 0xDC00 && *next < 0xE000) {
            offset += 12;
            continue;
        }
        if (isHigh || isLow) {
            if (!replaced)
                replaced.emplace(json);
            replaced->replace(offset, 6, "\\ufffd");
        }
        offset += 6;
    }
    return replaced;
}

}  // namespace

std::vector<std::string> sheetNames(const std::vector<SheetEntry>& sheets)
{
    std::vector<std::string> names;
    names.reserve(sheets.size());
    for (const SheetEntry& sheet : sheets)
        names.push_back(sheet.name);
    return names;
}

std::optional<WorkbookPayload> WorkbookPayload::decode(std::string_view json)
{
    const std::optional<std::string> repaired = withLoneSurrogatesReplaced(json);
    if (repaired)
        json = *repaired;
    PayloadHandler handler(json.size() / 2);
    rapidjson::MemoryStream stream(json.data(), json.size());
    rapidjson::Reader reader;
    if (reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, handler).IsError())
        return std::nullopt;
    return std::move(handler).finish();
}

}  // namespace rowlark::workbook
