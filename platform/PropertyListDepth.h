#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How deep the arrays and dictionaries of a property list nest, found from
// its bytes alone, before libplist sees them: libplist's readers, copy and
// free recurse once per level, so a few megabytes of nested <array> run the
// stack out. Both forms are checked without recursion: the XML form by a
// scan of its start and end tags, the binary form (bplist00) by a walk of
// the object references from the top object with a stack of its own.
//
// Real property lists nest a handful of levels; the limit is far above that.
class PropertyListDepth {
public:
    static constexpr int kMaxDepth = 64;

    // Nothing when the bytes nest no deeper than `maxDepth`; otherwise why
    // they are refused ("nested deeper than 64 levels", or a binary list
    // whose references cannot be followed).
    static std::optional<std::string> problem(std::string_view bytes, int maxDepth = kMaxDepth);

    // Elements open at once, counting <plist> itself; empty elements
    // (<array/>), comments, CDATA sections, processing instructions and the
    // document type declaration open none.
    static std::optional<std::string> xmlProblem(std::string_view xml, int maxDepth = kMaxDepth);
    // Containers (array, set, dictionary) on the longest path of references
    // from the top object.
    static std::optional<std::string> binaryProblem(std::string_view bytes, int maxDepth = kMaxDepth);
};
