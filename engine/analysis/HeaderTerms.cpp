#include "engine/analysis/HeaderTerms.h"

#include <algorithm>
#include <array>

namespace rowlark::analysis {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 23> aliases{{
    {"firstname", "firstname"},
    {"givenname", "firstname"},
    {"forename", "firstname"},
    {"lastname", "lastname"},
    {"surname", "lastname"},
    {"familyname", "lastname"},
    {"middlename", "middlename"},
    {"middleinitial", "middlename"},
    {"dob", "dateofbirth"},
    {"birthdate", "dateofbirth"},
    {"dateofbirth", "dateofbirth"},
    {"phone", "phonenumber"},
    {"telephone", "phonenumber"},
    {"mobile", "phonenumber"},
    {"phonenumber", "phonenumber"},
    {"zip", "postalcode"},
    {"zipcode", "postalcode"},
    {"postalcode", "postalcode"},
    {"email", "email"},
    {"emailaddress", "email"},
    {"patientrelation", "relationship"},
    {"relationship", "relationship"},
    {"relation", "relationship"},
}};

constexpr std::array<std::string_view, 2> entityPrefixes{"guarantor", "patient"};

std::optional<std::string_view> aliasOf(std::string_view field)
{
    for (const auto& [alias, canonical] : aliases)
        if (alias == field)
            return canonical;
    return std::nullopt;
}

const CharacterText& entityPrefixText(std::size_t index)
{
    static const std::array<CharacterText, 2> texts{CharacterText(entityPrefixes[0]), CharacterText(entityPrefixes[1])};
    return texts[index];
}

}  // namespace

std::string canonicalField(std::string_view field)
{
    return std::string(aliasOf(field).value_or(field));
}

HeaderTerms termsOfNormalized(const CharacterText& normalized)
{
    HeaderTerms terms{normalized, {}, normalized, {}};
    for (std::size_t i = 0; i < entityPrefixes.size(); ++i) {
        const CharacterText& prefix = entityPrefixText(i);
        if (normalized.length() > prefix.length() && normalized.startsWith(prefix)) {
            terms.entityPrefix = entityPrefixes[i];
            terms.fieldPart = normalized.dropFirst(prefix.length());
            break;
        }
    }
    const auto alias = aliasOf(terms.fieldPart.text());
    terms.canonicalField = alias ? CharacterText(*alias) : terms.fieldPart;
    return terms;
}

HeaderTerms headerTerms(std::string_view header)
{
    return termsOfNormalized(CharacterText(text::normalizeHeader(header)));
}

std::vector<HeaderTerms> headerTerms(const std::vector<std::string>& headers)
{
    std::vector<HeaderTerms> terms;
    terms.reserve(headers.size());
    for (const auto& header : headers)
        terms.push_back(headerTerms(header));
    return terms;
}

std::optional<NamespacePrefix> namespacePrefix(const CharacterText& left, const CharacterText& right)
{
    if (left.length() < right.length() && right.endsWith(left)) {
        if (auto prefix = right.dropLast(left.length()); !prefix.empty())
            return NamespacePrefix{std::move(prefix), true};
    } else if (right.length() < left.length() && left.endsWith(right)) {
        if (auto prefix = left.dropLast(right.length()); !prefix.empty())
            return NamespacePrefix{std::move(prefix), false};
    }
    return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> namespaceRelationship(std::string_view left, std::string_view right)
{
    const CharacterText leftText(left);
    const CharacterText rightText(right);
    const auto relation = namespacePrefix(leftText, rightText);
    if (!relation)
        return std::nullopt;
    return std::pair{relation->prefix.text(), relation->isOnRight ? leftText.text() : rightText.text()};
}

double similarity(std::string_view a, std::string_view b)
{
    const CharacterText first(a);
    const CharacterText second(b);
    return similarity(editDistance(first, second), first.length(), second.length());
}

}  // namespace rowlark::analysis
