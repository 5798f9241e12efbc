#include "engine/analysis/HeaderSuggestions.h"
#include "engine/analysis/HeaderTerms.h"
#include "tests/engine/analysis/AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace rowlark::analysis {
namespace {

using rowlark::testing::expectCases;
using Inputs = std::vector<std::string>;

TEST(HeaderMatching, ScoresTheHeadersOfTheDataFiles)
{
    expectCases("canonicalField.txt", [](const Inputs& field) { return canonicalField(field[0]); });
    expectCases("namespaceRelationship.txt", [](const Inputs& headers) {
        const auto relation = namespaceRelationship(headers[0], headers[1]);
        return relation ? relation->first + " " + relation->second : "none";
    });
    expectCases("headerTerms.txt", [](const Inputs& header) {
        const HeaderTerms terms = headerTerms(header[0]);
        const auto part = [](std::string_view text) { return text.empty() ? std::string("-") : std::string(text); };
        return part(terms.normalized.text()) + " " + part(terms.entityPrefix) + " " + part(terms.fieldPart.text()) +
               " " + part(terms.canonicalField.text());
    });
    expectCases("similarity.txt",
                [](const Inputs& texts) { return testing::scoreText(similarity(texts[0], texts[1])); });
    expectCases("headerSuggestions.txt", [](const Inputs& fields) {
        const std::optional<std::string> prefix = fields[1] == "none" ? std::nullopt : std::optional(fields[1]);
        return testing::suggestionsText(headerSuggestions(fields[0], testing::listed(fields[2]), prefix));
    });
}

}  // namespace
}  // namespace rowlark::analysis
