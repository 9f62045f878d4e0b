#include "app/charts/MultipleSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// An element with a key to sort by and an identity to follow it with, so
// that ties stay distinguishable.
struct Entry {
    int key;
    int id;
};

using Exchange = std::pair<std::size_t, std::size_t>;  // higher index first
using Comparison = std::pair<int, int>;                // receiver id, argument id

Exchange exchangeOf(std::size_t a, std::size_t b) { return {std::max(a, b), std::min(a, b)}; }

// A companion array that notes which positions the sort touches.
struct TouchLog {
    std::vector<int> values;
    std::vector<std::size_t> touched;
    int& at(std::size_t index) {
        touched.push_back(index);
        return values.at(index);
    }
    std::size_t size() const { return values.size(); }
    std::vector<Exchange> exchanges() const {
        std::vector<Exchange> result;
        for (std::size_t i = 0; i + 1 < touched.size(); i += 2)
            result.push_back(exchangeOf(touched[i], touched[i + 1]));
        return result;
    }
};

struct SortRun {
    std::vector<Entry> entries;
    std::vector<Comparison> comparisons;
    std::vector<Exchange> exchanges;
};

// The sort written out from its description: list Knuth's gaps up to the
// length, then an insertion pass for each gap from the largest down; a later
// element moves down past earlier ones only while it is strictly smaller.
SortRun referenceSort(std::vector<Entry> entries) {
    SortRun run;
    std::vector<std::size_t> gaps;
    for (std::size_t gap = 1; gap <= entries.size(); gap = 3 * gap + 1) gaps.push_back(gap);
    for (auto gap = gaps.rbegin(); gap != gaps.rend(); ++gap) {
        const std::size_t h = *gap;
        for (std::size_t i = h; i < entries.size(); ++i) {
            for (std::size_t j = i; j >= h; j -= h) {
                run.comparisons.emplace_back(entries[j].id, entries[j - h].id);
                if (!(entries[j].key < entries[j - h].key)) break;
                std::swap(entries[j], entries[j - h]);
                run.exchanges.push_back(exchangeOf(j, j - h));
            }
        }
    }
    run.entries = std::move(entries);
    return run;
}

std::vector<Entry> randomEntries(std::mt19937& random, std::size_t size) {
    // Few distinct keys, so most arrays have many ties.
    std::uniform_int_distribution<int> key(0, static_cast<int>(size / 4) + 1);
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < size; ++i) entries.push_back({key(random), static_cast<int>(i)});
    return entries;
}

MultipleSort::Selector<Entry> keyComparison(std::vector<Comparison>* log) {
    return [log](const Entry& receiver, const Entry& argument) -> std::optional<int> {
        log->emplace_back(receiver.id, argument.id);
        return receiver.key < argument.key ? -1 : (receiver.key > argument.key ? 1 : 0);
    };
}

std::vector<int> idsOf(const std::vector<Entry>& entries) {
    std::vector<int> ids;
    for (const Entry& entry : entries) ids.push_back(entry.id);
    return ids;
}

}  // namespace

TEST(MultipleSortTest, MatchesTheReferenceComparisonForComparisonAndExchangeForExchange) {
    std::mt19937 random(20130320);
    int arraysWithReorderedTies = 0;
    for (std::size_t size : {0, 1, 2, 3, 4, 5, 12, 13, 14, 39, 40, 41, 100, 121, 300}) {
        for (int round = 0; round < 8; ++round) {
            const std::vector<Entry> input = randomEntries(random, size);
            const SortRun expected = referenceSort(input);

            std::vector<Entry> sorted = input;
            std::vector<Comparison> comparisons;
            TouchLog paired{idsOf(input), {}};
            std::vector<std::string> names;
            for (const Entry& entry : input) names.push_back("person " + std::to_string(entry.id));
            EXPECT_FALSE(
                MultipleSort::sortArrayUsingSelector(sorted, keyComparison(&comparisons), &paired, &names, nullptr));

            SCOPED_TRACE("size " + std::to_string(size));
            EXPECT_EQ(comparisons, expected.comparisons);
            EXPECT_EQ(paired.exchanges(), expected.exchanges);
            EXPECT_EQ(idsOf(sorted), idsOf(expected.entries));
            // Both companions went through the same permutation as the keys.
            EXPECT_EQ(paired.values, idsOf(sorted));
            for (std::size_t i = 0; i < size; ++i) EXPECT_EQ(names[i], "person " + std::to_string(sorted[i].id));
            EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                                       [](const Entry& a, const Entry& b) { return a.key < b.key; }));
            const auto byKeyThenInput = [](const Entry& a, const Entry& b) {
                return a.key < b.key || (a.key == b.key && a.id < b.id);
            };
            const bool tiesReordered = !std::is_sorted(sorted.begin(), sorted.end(), byKeyThenInput);
            arraysWithReorderedTies += tiesReordered ? 1 : 0;
        }
    }
    // Not stable: the wide gaps carry equal keys past each other.
    EXPECT_GT(arraysWithReorderedTies, 0);
}

TEST(MultipleSortTest, CountsWithTheirPersons) {
    std::vector<int> counts{5, 1, 4};
    std::vector<std::string> persons{"P", "Q", "R"};
    EXPECT_FALSE(MultipleSort::sortArrayUsingSelector(counts, &MultipleSort::compareNumbers, &persons, nullptr));
    EXPECT_EQ(counts, (std::vector<int>{1, 4, 5}));
    EXPECT_EQ(persons, (std::vector<std::string>{"Q", "R", "P"}));

    // The gap of 4 carries the 0 over the first 1, which ends up last of the
    // equal counts.
    counts = {1, 1, 1, 1, 0};
    persons = {"A", "B", "C", "D", "E"};
    EXPECT_FALSE(MultipleSort::sortArrayUsingSelector(counts, &MultipleSort::compareNumbers, &persons, nullptr));
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 1, 1, 1}));
    EXPECT_EQ(persons, (std::vector<std::string>{"E", "B", "C", "D", "A"}));
}

TEST(MultipleSortTest, CompanionsEndAtTheFirstNull) {
    std::vector<int> counts{3, 2, 1};
    std::vector<std::string> first{"a", "b", "c"};
    std::vector<std::string> second{"x", "y", "z"};
    std::vector<std::string>* none = nullptr;
    EXPECT_FALSE(MultipleSort::sortArrayUsingSelector(counts, &MultipleSort::compareNumbers, none, &first, nullptr));
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(first, (std::vector<std::string>{"a", "b", "c"}));

    counts = {3, 2, 1};
    EXPECT_FALSE(MultipleSort::sortArrayUsingSelector(counts, &MultipleSort::compareNumbers, &first, none, &second));
    EXPECT_EQ(first, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(second, (std::vector<std::string>{"x", "y", "z"}));
}

TEST(MultipleSortTest, ShortArraysAreNeverCompared) {
    const MultipleSort::Selector<double> noSelector;
    for (std::vector<double> counts : {std::vector<double>{}, std::vector<double>{7}}) {
        std::vector<std::string> persons{"only"};
        EXPECT_EQ(MultipleSort::sortArrayUsingSelector(counts, noSelector, &persons, nullptr), std::nullopt);
        EXPECT_EQ(persons, std::vector<std::string>{"only"});
    }
}

TEST(MultipleSortTest, FailuresComeBackWithTheirReasonsAndLeaveTheArraysAligned) {
    std::vector<double> counts{2, 1};
    EXPECT_EQ(MultipleSort::sortArrayUsingSelector(counts, MultipleSort::Selector<double>(), nullptr),
              "compare null selector given");
    EXPECT_EQ(counts, (std::vector<double>{2, 1}));

    // The element 99 has no comparison; the sort gets as far as it can.
    std::vector<double> values{5, 4, 3, 99, 1, 0};
    std::vector<int> ids{0, 1, 2, 3, 4, 5};
    const MultipleSort::Selector<double> partial = [](const double& receiver,
                                                      const double& argument) -> std::optional<int> {
        if (receiver == 99) return std::nullopt;
        return MultipleSort::compareNumbers(receiver, argument);
    };
    EXPECT_EQ(MultipleSort::sortArrayUsingSelector(values, partial, &ids, nullptr),
              "invalid selector passed to compare");
    EXPECT_NE(ids, (std::vector<int>{0, 1, 2, 3, 4, 5})) << "the sort got as far as it could";
    const std::vector<double> original{5, 4, 3, 99, 1, 0};
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values[i], original[static_cast<std::size_t>(ids[i])]);

    std::vector<double> longer{3, 2, 1};
    std::vector<int> shorter{1};
    EXPECT_EQ(MultipleSort::sortArrayUsingSelector(longer, &MultipleSort::compareNumbers, &shorter, nullptr),
              "a paired array is shorter than the sorted one");
    EXPECT_EQ(longer, (std::vector<double>{3, 2, 1})) << "found before anything moves";
}
