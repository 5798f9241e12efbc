#include "engine/values/Decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/values/NumberReading.h"
#define ROWLARK_CASE_FOLDER (std::string(std::getenv("ROWLARK_TEST_DATA")) + "/values")
#include "tests/engine/text/CaseFile.h"

namespace rowlark::values {
namespace {

Decimal number(std::string_view text)
{
    const std::optional<Decimal> value = Decimal::fromPlainText(text);
    EXPECT_TRUE(value) << text;
    return value.value_or(Decimal{});
}

TEST(Decimal, oneTextPerValue)
{
    testing::expectCases("decimal-texts.txt", [](const std::vector<std::string>& fields) -> std::string {
        const std::optional<Decimal> value = Decimal::fromPlainText(fields[0]);
        if (!value)
            return "-";
        EXPECT_EQ(number(value->text()).text(), value->text()) << "the text reads back as the same value";
        return value->text();
    });
}

TEST(Decimal, storedNumbersReadAsTheirShortestDecimal)
{
    testing::expectCases("doubles.txt", [](const std::vector<std::string>& fields) {
        const std::optional<Decimal> value = Decimal::fromDouble(std::stod(fields[0]));
        return value ? value->text() : "-";
    });
}

TEST(Decimal, ordersByValue)
{
    const std::vector<std::string> ascending = {"-1e5",   "-10",   "-9.99",     "-0.001", "0",
                                                "1e-300", "0.001", "0.0010001", "1",      "1.0000000000000000001",
                                                "9.99",   "10",    "1e300"};
    for (std::size_t i = 0; i < ascending.size(); ++i)
        for (std::size_t j = 0; j < ascending.size(); ++j)
            EXPECT_EQ(compare(number(ascending[i]), number(ascending[j])), i <=> j)
                << ascending[i] << " against " << ascending[j];
}

TEST(Decimal, toleranceBoundariesAreExact)
{
    testing::expectCases("tolerances.txt", [](const std::vector<std::string>& fields) {
        const auto tolerance = [&](std::size_t field) {
            return fields[field].empty() ? std::nullopt : std::optional<Decimal>(number(fields[field]));
        };
        const bool isWithin = isWithinTolerance(number(fields[0]), number(fields[1]), tolerance(2), tolerance(3));
        EXPECT_EQ(isWithinTolerance(number(fields[1]), number(fields[0]), tolerance(2), tolerance(3)), isWithin)
            << "in the other order";
        return testing::yesOrNo(isWithin);
    });
}

// Digits without leading zeros, "0" for none.
std::string trimmed(const std::string& digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// An independent reference with the semantics of Python's decimal module for exact operations:
// a value is a signed integer coefficient times a power of ten, and every comparison scales both
// values to the smaller power and compares integers.
class ReferenceNumber {
public:
    ReferenceNumber(bool negative, std::string coefficient, int exponent)
        : isNegative_(negative)
        , coefficient_(std::move(coefficient))
        , exponent_(exponent)
    {
        coefficient_.erase(0, std::min(coefficient_.find_first_not_of('0'), coefficient_.size()));
        if (coefficient_.empty())
            isNegative_ = false;
    }

    // The coefficient scaled to `exponent` (at most this value's own), as a signed digit string.
    std::pair<bool, std::string> scaledTo(int exponent) const
    {
        return {isNegative_, trimmed(coefficient_ + std::string(static_cast<std::size_t>(exponent_ - exponent), '0'))};
    }
    int exponent() const { return exponent_; }
    bool isNegative() const { return isNegative_; }
    const std::string& coefficient() const { return coefficient_; }

    // The text Python prints for Decimal.normalize() of this value in plain notation.
    std::string plainText() const
    {
        if (coefficient_.empty())
            return "0";
        std::string digits = coefficient_;
        int exponent = exponent_;
        while (digits.size() > 1 && digits.back() == '0') {
            digits.pop_back();
            ++exponent;
        }
        const int size = static_cast<int>(digits.size());
        std::string text = exponent >= 0
                               ? digits + std::string(static_cast<std::size_t>(exponent), '0')
                               : std::string(static_cast<std::size_t>(std::max(0, 1 - exponent - size)), '0') + digits;
        if (exponent < 0)
            text.insert(text.size() - static_cast<std::size_t>(-exponent), ".");
        return (isNegative_ ? "-" : "") + text;
    }

private:
    bool isNegative_;
    std::string coefficient_;
    int exponent_;
};

int compareDigits(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::string subtractDigits(const std::string& larger, const std::string& smaller)
{
    std::string result = larger;
    int borrow = 0;
    for (std::size_t i = 0; i < result.size(); ++i) {
        const std::size_t at = result.size() - 1 - i;
        int digit = result[at] - '0' - borrow - (i < smaller.size() ? smaller[smaller.size() - 1 - i] - '0' : 0);
        borrow = digit < 0 ? 1 : 0;
        result[at] = static_cast<char>('0' + digit + borrow * 10);
    }
    return trimmed(result);
}

std::string addDigits(const std::string& a, const std::string& b)
{
    std::string result;
    int carry = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry != 0; ++i) {
        const int digit =
            carry + (i < a.size() ? a[a.size() - 1 - i] - '0' : 0) + (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        result.insert(result.begin(), static_cast<char>('0' + digit % 10));
        carry = digit / 10;
    }
    return result;
}

std::string multiplyDigits(const std::string& a, const std::string& b)
{
    std::string result = "0";
    for (std::size_t i = 0; i < b.size(); ++i)
        for (int times = 0; times < b[b.size() - 1 - i] - '0'; ++times)
            result = addDigits(result, a + std::string(i, '0'));
    return trimmed(result);
}

// |a − b| as digits at the exponent `at`.
std::string distance(const ReferenceNumber& a, const ReferenceNumber& b, int at)
{
    const auto [negativeA, digitsA] = a.scaledTo(at);
    const auto [negativeB, digitsB] = b.scaledTo(at);
    if (negativeA != negativeB)
        return addDigits(digitsA, digitsB);
    return compareDigits(digitsA, digitsB) >= 0 ? subtractDigits(digitsA, digitsB) : subtractDigits(digitsB, digitsA);
}

bool referenceIsWithin(const ReferenceNumber& a, const ReferenceNumber& b,
                       const std::optional<ReferenceNumber>& absolute, const std::optional<ReferenceNumber>& relative)
{
    int at = std::min(a.exponent(), b.exponent());
    if (absolute)
        at = std::min(at, absolute->exponent());
    if (absolute && compareDigits(distance(a, b, at), absolute->scaledTo(at).second) <= 0)
        return true;
    if (!relative)
        return distance(a, b, at) == "0";
    // |a − b| ≤ r × m, both scaled to the lower of their exponents.
    const int common = std::min(a.exponent(), b.exponent());
    const std::string magnitudeA = a.scaledTo(common).second;
    const std::string magnitudeB = b.scaledTo(common).second;
    const ReferenceNumber bound(false,
                                multiplyDigits(relative->scaledTo(relative->exponent()).second,
                                               compareDigits(magnitudeA, magnitudeB) >= 0 ? magnitudeA : magnitudeB),
                                relative->exponent() + common);
    const ReferenceNumber gap(false, distance(a, b, common), common);
    const int lowest = std::min(common, bound.exponent());
    return compareDigits(gap.scaledTo(lowest).second, bound.scaledTo(lowest).second) <= 0;
}

class RandomNumbers {
public:
    explicit RandomNumbers(std::uint32_t seed)
        : engine_(seed)
    {
    }

    ReferenceNumber next()
    {
        std::string digits(uniform(1, 25), '0');
        for (char& digit : digits)
            digit = static_cast<char>('0' + uniform(0, 9));
        if (uniform(0, 4) == 0)
            digits += std::string(uniform(1, 5), '0');
        return ReferenceNumber(uniform(0, 2) == 0, digits, uniform(-12, 8));
    }
    ReferenceNumber nextNonNegative()
    {
        const ReferenceNumber value = next();
        return ReferenceNumber(false, value.coefficient(), value.exponent());
    }
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }

private:
    std::mt19937 engine_;
};

// A notation of the value as a file might hold it, and the decimal mark its column would decide.
std::pair<std::string, DecimalMark> written(const ReferenceNumber& value, RandomNumbers& random)
{
    std::string plain = value.plainText();
    const bool isNegative = plain.starts_with('-');
    if (isNegative)
        plain.erase(0, 1);
    const std::size_t point = plain.find('.');
    std::string integer = plain.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : plain.substr(point + 1);
    if (random.uniform(0, 3) == 0)
        fraction += std::string(random.uniform(1, 3), '0');  // trailing zeros as a format writes them
    const DecimalMark mark = random.uniform(0, 1) == 0 ? DecimalMark::point : DecimalMark::comma;
    const std::string groupSeparator =
        mark == DecimalMark::point ? (random.uniform(0, 1) ? "," : " ") : (random.uniform(0, 1) ? "." : "\u00A0");
    if (random.uniform(0, 1) == 0 && integer.size() > 3) {
        std::string grouped;
        for (std::size_t i = 0; i < integer.size(); ++i) {
            if (i > 0 && (integer.size() - i) % 3 == 0)
                grouped += groupSeparator;
            grouped += integer[i];
        }
        integer = grouped;
    }
    std::string body = integer + (fraction.empty() ? "" : (mark == DecimalMark::point ? "." : ",") + fraction);
    const int notation = random.uniform(0, 4);
    if (notation == 0)
        return {(isNegative ? "($" : "$") + body + (isNegative ? ")" : ""), mark};
    if (notation == 2)
        return {" " + std::string(isNegative ? "\u2212" : "+") + body + "  ", mark};
    return {(isNegative ? "-" : "") + body + (notation == 1 ? " EUR" : ""), mark};
}

TEST(DecimalProperty, everyNotationReadsAsTheReferenceValue)
{
    RandomNumbers random(20240305);
    for (int round = 0; round < 4000; ++round) {
        const ReferenceNumber value = random.next();
        const auto [text, mark] = written(value, random);
        const std::optional<Decimal> read = readNumber(text, mark);
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(*read, *Decimal::fromPlainText(value.plainText())) << text;
        EXPECT_EQ(read->text().find('E') == std::string::npos ? read->text() : value.plainText(), value.plainText())
            << text;
    }
}

TEST(DecimalProperty, percentAndExponentShiftThePoint)
{
    RandomNumbers random(7);
    for (int round = 0; round < 2000; ++round) {
        const ReferenceNumber value = random.next();
        const int shift = random.uniform(-20, 20);
        const ReferenceNumber shifted(value.isNegative(), value.coefficient(), value.exponent() + shift - 2);
        const std::string text = value.plainText() + "e" + std::to_string(shift) + "%";
        EXPECT_EQ(readNumber(text, DecimalMark::point), Decimal::fromPlainText(shifted.plainText())) << text;
    }
}

TEST(DecimalProperty, equalityAndToleranceAgreeWithTheReference)
{
    RandomNumbers random(99);
    for (int round = 0; round < 6000; ++round) {
        const ReferenceNumber a = random.next();
        // Often near a: the same value, or a moved by about the tolerance.
        ReferenceNumber b = random.next();
        if (round % 3 != 0) {
            const ReferenceNumber step = random.next();
            const int at = std::min(a.exponent(), step.exponent());
            const auto [negativeA, digitsA] = a.scaledTo(at);
            const auto [negativeStep, digitsStep] = step.scaledTo(at);
            b = negativeA == negativeStep ? ReferenceNumber(negativeA, addDigits(digitsA, digitsStep), at)
                : compareDigits(digitsA, digitsStep) >= 0
                    ? ReferenceNumber(negativeA, subtractDigits(digitsA, digitsStep), at)
                    : ReferenceNumber(negativeStep, subtractDigits(digitsStep, digitsA), at);
        }
        std::optional<ReferenceNumber> absolute;
        std::optional<ReferenceNumber> relative;
        if (random.uniform(0, 1) == 0)
            absolute = random.nextNonNegative();
        if (random.uniform(0, 2) == 0)
            relative = ReferenceNumber(false, std::to_string(random.uniform(0, 999)), random.uniform(-6, 0));
        const Decimal decimalA = *Decimal::fromPlainText(a.plainText());
        const Decimal decimalB = *Decimal::fromPlainText(b.plainText());
        const auto converted = [](const std::optional<ReferenceNumber>& value) {
            return value ? Decimal::fromPlainText(value->plainText()) : std::nullopt;
        };
        EXPECT_EQ(isWithinTolerance(decimalA, decimalB, converted(absolute), converted(relative)),
                  referenceIsWithin(a, b, absolute, relative))
            << a.plainText() << " and " << b.plainText() << " abs " << (absolute ? absolute->plainText() : "-")
            << " rel " << (relative ? relative->plainText() : "-");
        EXPECT_EQ(decimalA == decimalB, referenceIsWithin(a, b, std::nullopt, std::nullopt));
    }
}

TEST(DecimalProperty, aToleranceExactlyAtTheDistanceAdmits)
{
    RandomNumbers random(5);
    for (int round = 0; round < 2000; ++round) {
        const ReferenceNumber a = random.next();
        const ReferenceNumber b = random.next();
        const int at = std::min(a.exponent(), b.exponent());
        const ReferenceNumber gap(false, distance(a, b, at), at);
        const ReferenceNumber shorter(false, subtractDigits(gap.scaledTo(at - 1).second, "1"), at - 1);
        const Decimal decimalA = *Decimal::fromPlainText(a.plainText());
        const Decimal decimalB = *Decimal::fromPlainText(b.plainText());
        EXPECT_TRUE(isWithinTolerance(decimalA, decimalB, Decimal::fromPlainText(gap.plainText()), std::nullopt))
            << a.plainText() << " and " << b.plainText();
        if (gap.coefficient() != "") {
            EXPECT_FALSE(
                isWithinTolerance(decimalA, decimalB, Decimal::fromPlainText(shorter.plainText()), std::nullopt))
                << a.plainText() << " and " << b.plainText();
        }
    }
}

}  // namespace
}  // namespace rowlark::values
