#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

// Sorts one array in place and repeats every exchange it makes on any number
// of companion arrays, so that entries that belong together (a count and its
// person) keep sharing an index. It is a Shell sort over Knuth's gaps 1, 4,
// 13, 40, ...; the bar chart and its tests rely on its exact sequence of
// comparisons and exchanges, which decides how equal counts end up ordered.
class MultipleSort {
public:
    // The comparison the sort is told to use, as if sent to the left element
    // with the right one as its argument: negative when the left element
    // orders first, 0 when both are the same, positive when the left orders
    // after; nothing when the left element has no such comparison.
    template <typename T>
    using Selector = std::function<std::optional<int>(const T& receiver, const T& argument)>;

    // The numeric comparison of two counts.
    static std::optional<int> compareNumbers(const int& receiver, const int& argument) {
        if (receiver < argument) return -1;
        return receiver > argument ? 1 : 0;
    }

    // Why a sort stopped; a sort that stops leaves the arrays holding the
    // exchanges made so far, still aligned with each other.
    using Failure = std::string;

    // Sorts `array` ascending under `selector`. Each paired argument is a
    // pointer to a companion container (indexable, with a size) or a null
    // terminator: every exchange is repeated on the companions in the order
    // given, up to the first null one, so a null first companion means none.
    // Nothing when sorted; the failure when the selector is empty, an element
    // has no such comparison, or a companion is shorter than `array` (found
    // before anything moves).
    template <typename Container, typename... Paired>
    [[nodiscard]] static std::optional<Failure> sortArrayUsingSelector(
        Container& array, const Selector<typename Container::value_type>& selector, Paired... paired) {
        const std::size_t count = array.size();
        // One element or none is sorted without a single comparison.
        if (count < 2) return std::nullopt;
        if (!selector) return Failure("compare null selector given");
        if (!companionsHold(count, paired...)) return Failure("a paired array is shorter than the sorted one");
        std::size_t gap = 1;
        while (gap <= count) gap = 3 * gap + 1;
        while (gap >= 3) {
            gap /= 3;
            if (auto failure = sortPass(array, count, gap, selector, paired...)) return failure;
        }
        return std::nullopt;
    }

private:
    template <typename Container, typename... Paired>
    static std::optional<Failure> sortPass(Container& array, std::size_t count, std::size_t gap,
                                           const Selector<typename Container::value_type>& selector, Paired... paired) {
        for (std::size_t i = gap; i < count; ++i) {
            // Moves the element at i down its gap chain while it orders
            // before its neighbour; an equal neighbour stops it. The
            // comparison is sent to the element further along.
            for (std::size_t j = i - gap;; j -= gap) {
                const std::optional<int> order = selector(array[j + gap], array[j]);
                if (!order) return Failure("invalid selector passed to compare");
                if (*order >= 0) break;
                using std::swap;
                swap(array[j + gap], array[j]);
                exchangeInPaired(j + gap, j, paired...);
                if (j < gap) break;
            }
        }
        return std::nullopt;
    }

    static bool companionsHold(std::size_t) { return true; }

    template <typename... Rest>
    static bool companionsHold(std::size_t, std::nullptr_t, Rest...) {
        return true;
    }

    template <typename Companion, typename... Rest>
    static bool companionsHold(std::size_t count, Companion* companion, Rest... rest) {
        if (!companion) return true;
        return companion->size() >= count && companionsHold(count, rest...);
    }

    static void exchangeInPaired(std::size_t, std::size_t) {}

    template <typename... Rest>
    static void exchangeInPaired(std::size_t, std::size_t, std::nullptr_t, Rest...) {}

    template <typename Companion, typename... Rest>
    static void exchangeInPaired(std::size_t a, std::size_t b, Companion* companion, Rest... rest) {
        if (!companion) return;
        using std::swap;
        swap(companion->at(a), companion->at(b));
        exchangeInPaired(a, b, rest...);
    }
};
