#pragma once
#include <cstdlib>
#include <string>

namespace kalvero::testing {

// Sets an environment variable for the life of the object, then puts back
// the value it had (or unsets it when it had none).
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        ::setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (hadOld_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

}  // namespace kalvero::testing
