#include "HostBoundary.h"

#include "brask/CoreString.h"
#include "brask/Logger.h"

#include <exception>
#include <string>

namespace BRASK::COREREGISTRY {

void LogHostCallException(const char* source, const char* function) noexcept {
    try {
        std::string text = "of an unknown type";
        try {
            throw;
        } catch (const std::exception& e) {
            text = e.what();
        } catch (...) {
        }
        BRASK_LOG_ERROR(source, function, "Unexpected exception: " << BXString(text));
    } catch (...) {
        // Not even the record could be made (no memory): the call still answers.
    }
}

} // namespace BRASK::COREREGISTRY
