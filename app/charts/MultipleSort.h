#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
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

    // The ordering of `left` against `right` under `selector`. Throws
    // std::invalid_argument for an empty selector and std::runtime_error when
    // the left element has no such comparison.
    template <typename T>
    static int compare(const T& left, const T& right, const Selector<T>& selector) {
        if (!selector) throw std::invalid_argument("compare null selector given");
        const std::optional<int> result = selector(left, right);
        if (!result) throw std::runtime_error("invalid selector passed to compare");
        return *result;
    }

    // Sorts `array` ascending under `selector`. Each paired argument is a
    // pointer to a companion container (indexable, at least as long as
    // `array`) or a null terminator: every exchange is repeated on the
    // companions in the order given, up to the first null one, so a null
    // first companion means none. A shorter companion throws
    // std::out_of_range. After an exception the containers hold the
    // exchanges made so far, still aligned with each other.
    template <typename Container, typename... Paired>
    static void sortArrayUsingSelector(Container& array, const Selector<typename Container::value_type>& selector,
                                       Paired... paired) {
        const std::size_t count = array.size();
        std::size_t gap = 1;
        while (gap <= count) gap = 3 * gap + 1;
        while (gap >= 3) {
            gap /= 3;
            sortPass(array, count, gap, selector, paired...);
        }
    }

private:
    template <typename Container, typename... Paired>
    static void sortPass(Container& array, std::size_t count, std::size_t gap,
                         const Selector<typename Container::value_type>& selector, Paired... paired) {
        for (std::size_t i = gap; i < count; ++i) {
            // Moves the element at i down its gap chain while it orders
            // before its neighbour; an equal neighbour stops it.
            for (std::size_t j = i - gap;; j -= gap) {
                if (compare(array[j + gap], array[j], selector) >= 0) break;
                using std::swap;
                swap(array[j + gap], array[j]);
                exchangeInPaired(j + gap, j, paired...);
                if (j < gap) break;
            }
        }
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
