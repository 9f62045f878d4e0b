#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>

// A number read from the counter database, or the reason it could not be
// read. A count that failed has no value at all: callers cannot mistake it
// for 0 messages, and decide themselves how to show the failure (a dash on
// the main screen, the badge left as it was, an error from the report).
template <typename T>
class Counted {
public:
    // A count that succeeded.
    Counted(T value) : value_(std::move(value)) {}  // NOLINT: implicit, so a plain value reads as a success

    static Counted failed(std::string reason) {
        Counted result;
        result.failure_ = std::move(reason);
        return result;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only for a count that succeeded.
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    T valueOr(T fallback) const { return value_ ? *value_ : std::move(fallback); }
    // Why the count failed; empty when it succeeded.
    const std::string& failure() const { return failure_; }

    // The same failure for a count of another kind.
    template <typename U>
    Counted<U> failureAs() const {
        return Counted<U>::failed(failure_);
    }

    // A count equals a value only when it succeeded with that value.
    friend bool operator==(const Counted& counted, const T& value) { return counted.ok() && *counted.value_ == value; }

    friend std::ostream& operator<<(std::ostream& out, const Counted& counted) {
        if (counted.ok()) return out << *counted.value_;
        return out << "failed: " << counted.failure_;
    }

private:
    Counted() = default;

    std::optional<T> value_;
    std::string failure_;
};
