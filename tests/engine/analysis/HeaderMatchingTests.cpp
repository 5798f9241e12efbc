#include "analysis/HeaderSuggestions.h"
#include "analysis/HeaderTerms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace rowlark::CSVComparator {
namespace {

using Suggestions = std::vector<HeaderSuggestion>;

TEST(CanonicalField, MapsAliasesAndKeepsOtherFields)
{
    const std::vector<std::pair<std::string, std::string>> cases{{"telephone", "phonenumber"},
                                                                 {"mobile", "phonenumber"},
                                                                 {"surname", "lastname"},
                                                                 {"forename", "firstname"},
                                                                 {"middleinitial", "middlename"},
                                                                 {"dob", "dateofbirth"},
                                                                 {"zip", "postalcode"},
                                                                 {"emailaddress", "email"},
                                                                 {"patientrelation", "relationship"},
                                                                 {"city", "city"},
                                                                 {"", ""},
                                                                 {"Phone", "Phone"}};
    for (const auto& [field, canonical] : cases)
        EXPECT_EQ(canonicalField(field), canonical) << field;
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

TEST(NamespaceRelationship, FindsTheExtraLeadingPartOnEitherSide)
{
    using Relation = std::optional<std::pair<std::string, std::string>>;
    EXPECT_EQ(namespaceRelationship("city", "billingcity"), Relation({"billing", "city"}));
    EXPECT_EQ(namespaceRelationship("billingcity", "city"), Relation({"billing", "city"}));
    EXPECT_EQ(namespaceRelationship("city", "city"), std::nullopt);
    EXPECT_EQ(namespaceRelationship("city", "cityhall"), std::nullopt);
    EXPECT_EQ(namespaceRelationship("caf\u00E9", "grandcafe\u0301"), Relation({"grand", "caf\u00E9"}));
    // A suffix that splits a character is no suffix of characters.
    EXPECT_EQ(namespaceRelationship("\u0301x", "ex"), std::nullopt);
}

TEST(Similarity, IsOneMinusEditDistanceOverTheLongerLength)
{
    EXPECT_EQ(similarity("", ""), 1);
    EXPECT_EQ(similarity("", "abc"), 0);
    EXPECT_EQ(similarity("kitten", "sitting"), 1 - 3.0 / 7);
    EXPECT_EQ(similarity("adress", "address"), 1 - 1.0 / 7);
    EXPECT_EQ(similarity("abc", "abc"), 1);
}

TEST(Similarity, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(similarity("caf\u00E9", "cafe\u0301"), 1);                       // canonically equivalent
    EXPECT_EQ(similarity("a\U0001F44D\U0001F3FDb", "ab"), 1 - 1.0 / 3);        // emoji with skin tone is one
    EXPECT_EQ(similarity("\U0001F1E9\U0001F1EA", "\U0001F1EB\U0001F1F7"), 0);  // one flag against another
    EXPECT_EQ(similarity("\U0001F468\u200D\U0001F469\u200D\U0001F467x", "\U0001F468\u200D\U0001F469\u200D\U0001F466x"),
              0.5);  // long family clusters differ only in the last member
}

struct HeaderCase {
    std::string left;
    std::vector<std::string> right;
    std::optional<std::string> preferredPrefix;
    Suggestions expected;
};

TEST(HeaderSuggestions, ScoreEachRuleWithItsReason)
{
    const std::vector<HeaderCase> cases{
        {"Telephone", {"Phone"}, std::nullopt, {{0, 0.91, "Known alias"}}},
        {"First Name", {"first_name"}, std::nullopt, {{0, 1.0, "Exact"}}},
        {"DOB", {"Guarantor Date of Birth"}, std::nullopt, {{0, 0.97, "Entity prefix match"}}},
        {"DOB", {"Guarantor Date of Birth"}, "guarantor", {{0, 0.99, "Learned pattern"}}},
        {"DOB", {"Guarantor Date of Birth"}, "patient", {{0, 0.97, "Entity prefix match"}}},
        {"Guarantor DOB", {"Birth Date"}, "guarantor", {{0, 0.97, "Entity prefix match"}}},
        {"Guarantor First Name", {"Patient First Name"}, std::nullopt, {}},
        {"Guarantor First Name", {"Patient First Name"}, "patient", {}},
        {"Patient Last Name", {"Patient Surname"}, std::nullopt, {{0, 0.99, "Same patient field"}}},
        {"Guarantor Phone", {"GUARANTOR-MOBILE"}, std::nullopt, {{0, 0.99, "Same guarantor field"}}},
        {"Guarantor Phone", {"GUARANTOR-MOBILE"}, "guarantor", {{0, 1.0, "Learned pattern"}}},
        {"City", {"Billing City"}, std::nullopt, {{0, 0.9, "billing_ pattern"}}},
        {"City", {"Billing City"}, "billing", {{0, 0.98, "Learned pattern"}}},
        {"Billing City", {"City"}, std::nullopt, {{0, 0.9, "billing_ pattern"}}},
        {"Adress", {"Address"}, std::nullopt, {{0, 0.82 * (1 - 1.0 / 7), "Similar name"}}},
        {"Guarantor Name", {"Patient Names"}, std::nullopt, {}},
        {"Name", {"Totally Different"}, std::nullopt, {}},
        {"#", {"#", "Name"}, std::nullopt, {}},
        {"Phone", {"", "---", "Phone"}, std::nullopt, {{2, 1.0, "Exact"}}},
    };
    for (const auto& [left, right, preferredPrefix, expected] : cases)
        EXPECT_EQ(headerSuggestions(left, right, preferredPrefix), expected)
            << left << " against " << right.front() << " with " << preferredPrefix.value_or("no prefix");
}

TEST(HeaderSuggestions, SimilarNamesUseTheBetterOfHeaderAndCanonicalField)
{
    // "mobil" is one edit from "mobile" as a header; its canonical field is itself, while the
    // right canonical field phonenumber is far away, so the header similarity decides.
    EXPECT_EQ(headerSuggestions("Mobil", {"Mobile"}, std::nullopt),
              Suggestions({{0, 0.82 * (1 - 1.0 / 6), "Similar name"}}));
    // Headers far apart whose canonical fields are close: zip (postalcode) against postalcodes.
    EXPECT_EQ(headerSuggestions("Zip", {"Postal Codes"}, std::nullopt),
              Suggestions({{0, 0.82 * (1 - 1.0 / 11), "Similar name"}}));
}

TEST(HeaderSuggestions, AreOrderedByScoreThenHeaderText)
{
    const std::vector<std::string> right{"Mobile", "Telephone", "Phone", "Phone"};
    EXPECT_EQ(
        headerSuggestions("Phone Number", right, std::nullopt),
        Suggestions(
            {{0, 0.91, "Known alias"}, {2, 0.91, "Known alias"}, {3, 0.91, "Known alias"}, {1, 0.91, "Known alias"}}));
    EXPECT_EQ(headerSuggestions("Phone", right, std::nullopt),
              Suggestions({{2, 1.0, "Exact"}, {3, 1.0, "Exact"}, {0, 0.91, "Known alias"}, {1, 0.91, "Known alias"}}));
}

}  // namespace
}  // namespace rowlark::CSVComparator
