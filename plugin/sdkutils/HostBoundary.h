// The one guard for every call the host makes into the plug-in: no exception crosses back into the host.
// What was thrown is logged with its text, and the call answers 7.
#pragma once

#include "brask/Status.h"

#include <type_traits>
#include <utility>

namespace BRASK::COREREGISTRY {

// The answer of a host call that ended in an exception.
constexpr Status kInternalError = 7;

// Logs the exception being handled ("Unexpected exception: " and its text) under `source` and `function`.
// Call only from a catch handler; it never throws.
void LogHostCallException(const char* source, const char* function) noexcept;

// Runs `body` for a host call: its result, or `failed` when it throws.
template <class Body, class Result = std::invoke_result_t<Body>>
Result GuardHostCall(const char* source, const char* function, Body&& body, Result failed) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        LogHostCallException(source, function);
        return failed;
    }
}

// The same for a host call without a result.
template <class Body> void GuardHostCall(const char* source, const char* function, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        LogHostCallException(source, function);
    }
}

} // namespace BRASK::COREREGISTRY
