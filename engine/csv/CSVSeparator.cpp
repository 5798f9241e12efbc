#include "engine/csv/CSVSeparator.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "engine/text/Unicode.h"

namespace rowlark::csv {

namespace {

bool isExtenderAt(std::string_view text, std::size_t position)
{
    if (position >= text.size() || static_cast<unsigned char>(text[position]) < 0x80)
        return false;
    return text::isGraphemeExtender(text::nextScalar(text, position));
}

bool isPrependBefore(std::string_view text, std::size_t position)
{
    if (position == 0 || static_cast<unsigned char>(text[position - 1]) < 0x80)
        return false;
    std::size_t end = position;
    return text::isGraphemePrepend(text::previousScalar(text, end));
}

struct RecordShape {
    std::size_t fields = 1;
    bool hasCommaOutsideQuotes = false;
    bool isBlank = false;  // a line without a single character
};

// Splits records as the parser does, with the same rules for quotes and characters, counting their
// fields without keeping any text.
class RecordSplitter {
public:
    RecordSplitter(std::string_view text, std::size_t start, Separator separator)
        : text_(text)
        , position_(std::min(start, text.size()))
        , separator_(static_cast<char>(separator))
        , specials_{separator_, ',', '\n', '\r'}
    {
    }

    bool isAtEnd() const { return position_ >= text_.size(); }

    RecordShape next()
    {
        RecordShape shape;
        const std::size_t recordStart = position_;
        bool isFieldStart = true;
        while (true) {
            if (isFieldStart && opensQuotedField()) {
                ++position_;
                if (!skipQuotedPart())
                    return shape;
            }
            isFieldStart = false;
            const std::size_t special = text_.find_first_of(std::string_view(specials_, 4), position_);
            if (special == std::string_view::npos) {
                position_ = text_.size();
                return shape;
            }
            position_ = special + 1;
            const char byte = text_[special];
            if (byte == '\n' || byte == '\r') {
                if (byte == '\r' && position_ < text_.size() && text_[position_] == '\n')
                    ++position_;
                shape.isBlank = special == recordStart;
                return shape;
            }
            // A tab is a character of its own whatever surrounds it; other separators join a cluster.
            if (byte != '\t' && (isPrependBefore(text_, special) || isExtenderAt(text_, position_)))
                continue;
            if (byte == separator_) {
                ++shape.fields;
                isFieldStart = true;
            } else {
                shape.hasCommaOutsideQuotes = true;
            }
        }
    }

private:
    bool opensQuotedField() const
    {
        return position_ < text_.size() && text_[position_] == '"' && !isExtenderAt(text_, position_ + 1);
    }

    // Moves through the closing quote; false when the text ends inside the quotes.
    bool skipQuotedPart()
    {
        while (true) {
            const std::size_t quote = text_.find('"', position_);
            if (quote == std::string_view::npos) {
                position_ = text_.size();
                return false;
            }
            position_ = quote + 1;
            if (isPrependBefore(text_, quote) || isExtenderAt(text_, position_))
                continue;
            if (position_ < text_.size() && text_[position_] == '"' && !isExtenderAt(text_, position_ + 1)) {
                ++position_;
                continue;
            }
            return true;
        }
    }

    std::string_view text_;
    std::size_t position_;
    char separator_;
    char specials_[4];
};

bool splitsEvenly(std::string_view text, std::size_t start, Separator candidate)
{
    RecordSplitter records(text, start, candidate);
    if (records.isAtEnd())
        return false;
    const RecordShape header = records.next();
    if (header.fields < 2 || header.hasCommaOutsideQuotes)
        return false;
    for (std::size_t checked = 0; checked < detectionRecordCount && !records.isAtEnd();) {
        const RecordShape record = records.next();
        if (record.isBlank)
            continue;
        if (record.fields != header.fields)
            return false;
        ++checked;
    }
    return true;
}

}  // namespace

std::string_view title(Separator separator)
{
    switch (separator) {
    case Separator::comma:
        return "Comma-separated";
    case Separator::semicolon:
        return "Semicolon-separated";
    case Separator::tab:
        return "Tab-separated";
    case Separator::pipe:
        return "Pipe-separated";
    }
    return {};
}

std::string_view name(Separator separator)
{
    switch (separator) {
    case Separator::comma:
        return "comma";
    case Separator::semicolon:
        return "semicolon";
    case Separator::tab:
        return "tab";
    case Separator::pipe:
        return "pipe";
    }
    return {};
}

std::optional<Separator> separatorNamed(std::string_view text)
{
    if (text == "\\t")
        return Separator::tab;
    std::string lowered(text);
    std::ranges::transform(lowered, lowered.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Separator separator : allSeparators) {
        const char character = static_cast<char>(separator);
        if (text == std::string_view(&character, 1) || lowered == name(separator))
            return separator;
    }
    return std::nullopt;
}

Separator detectSeparator(std::string_view text, std::size_t start)
{
    for (const Separator candidate : {Separator::semicolon, Separator::tab, Separator::pipe})
        if (splitsEvenly(text, start, candidate))
            return candidate;
    return Separator::comma;
}

}  // namespace rowlark::csv
