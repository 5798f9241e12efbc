#pragma once

// A JSON value read into flat, reusable storage, for code that walks JSON structure (the
// canonical writer, the flattening of JSON-object cells). Reading and writing are iterative, so
// any nesting that fits in memory is read and written; code that walks a value recursively must
// bound its own depth.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::text {

class JSONDocument {
public:
    enum class Kind : std::uint8_t { null, falseLiteral, trueLiteral, number, string, array, object };

    // One value. Nodes are stored in document order: a container is followed by all of its
    // descendants, and `end` is the index just past the last of them, so the children of a
    // container are found by starting at its index + 1 and jumping from one `end` to the next.
    struct Node {
        Kind kind = Kind::null;
        std::size_t end = 0;
        std::size_t textBegin = 0;  // a string's decoded text, or a number's canonical spelling
        std::size_t textSize = 0;
        std::size_t nameBegin = 0;  // the member name, when the value sits in an object
        std::size_t nameSize = 0;
    };

    // How member names and strings are kept: as written, or in the composed (NFC) form that
    // equality of texts goes by, lower-cased first if asked.
    enum class TextForm : std::uint8_t { asWritten, composed, lowercasedComposed };

    // Replaces the content with the value read from `text`. False, leaving the document empty,
    // when `text` is not strict JSON, is not valid UTF-8 or holds a lone surrogate escape.
    bool read(std::string_view text, TextForm form = TextForm::asWritten);

    bool isEmpty() const { return nodes_.empty(); }
    static constexpr std::size_t root = 0;
    const Node& node(std::size_t index) const { return nodes_[index]; }
    std::string_view text(const Node& node) const { return {texts_.data() + node.textBegin, node.textSize}; }
    std::string_view name(const Node& node) const { return {texts_.data() + node.nameBegin, node.nameSize}; }
    bool hasChildren(std::size_t index) const { return nodes_[index].end > index + 1; }

    // Appends the node indices of an object's members, sorted by name in Unicode scalar order
    // (UTF-8 byte order). Of members sharing a name only the last one is kept, as a dictionary
    // built in reading order would keep it. Callers may use `into` as a stack across recursion.
    void appendSortedMembers(std::size_t object, std::vector<std::size_t>& into) const;

    // Appends the compact canonical JSON text of a value: no white space, members sorted and
    // de-duplicated as by `appendSortedMembers`, numbers in their canonical spelling, strings
    // escaped minimally (only `"`, `\` and control characters; \b \f \n \r \t where they
    // exist, otherwise \u00XX in lower-case hex).
    void appendCompact(std::size_t index, std::string& out) const;

private:
    class Builder;

    std::vector<Node> nodes_;
    std::string texts_;
    std::vector<std::size_t> openContainers_;
};

}  // namespace rowlark::text
