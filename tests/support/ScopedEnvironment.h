#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets or unsets one environment variable for the life of the object and
// puts the previous state back afterwards. Changing TZ also re-reads the time
// zone, both ways, so local-time functions see the change at once.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
        apply(value);
    }
    ~ScopedEnvironment() { apply(previous_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void apply(const std::optional<std::string>& value) {
        if (value)
            ::setenv(name_.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
        if (name_ == "TZ") ::tzset();
    }

    std::string name_;
    std::optional<std::string> previous_;
};
