#include "AnalysisTestSupport.h"
#include "analysis/HeaderSuggestions.h"
#include "analysis/HeaderTerms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace rowlark::CSVComparator {
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
    expectCases("similarity.txt",
                [](const Inputs& texts) { return testing::scoreText(similarity(texts[0], texts[1])); });
    expectCases("headerSuggestions.txt", [](const Inputs& fields) {
        const std::optional<std::string> prefix = fields[1] == "none" ? std::nullopt : std::optional(fields[1]);
        return testing::suggestionsText(headerSuggestions(fields[0], testing::listed(fields[2]), prefix));
    });
}

TEST(HeaderTerms, SplitsGuarantorBeforePatient)
{
    const HeaderTerms guarantor = headerTerms("Guarantor Date of Birth");
    EXPECT_EQ(guarantor.normalized.text(), "guarantordateofbirth");
    EXPECT_EQ(guarantor.entityPrefix, "guarantor");
    EXPECT_EQ(guarantor.fieldPart.text(), "dateofbirth");
    EXPECT_EQ(guarantor.canonicalField.text(), "dateofbirth");

    EXPECT_EQ(headerTerms("Guarantor Patient ID").entityPrefix, "guarantor");
    EXPECT_EQ(headerTerms("Patient").entityPrefix, "");
    EXPECT_EQ(headerTerms("Patient").fieldPart.text(), "patient");
    const HeaderTerms relation = headerTerms("Patient_Relation");
    EXPECT_EQ(relation.entityPrefix, "patient");
    EXPECT_EQ(relation.canonicalField.text(), "relationship");
    EXPECT_TRUE(headerTerms("#!?").normalized.empty());
}

}  // namespace
}  // namespace rowlark::CSVComparator
