// A reference host whose application folder is one of the stand-in wrapper folders.
#pragma once

#include "../support/HostFixture.h"

#include <dlfcn.h>

namespace BRASK::TEST {

class RipFixture : public HostFixture {
protected:
    // A new host whose application folder is the stand-in folder `variant` (empty: the program's folder).
    void UseApplicationFolder(const std::string& variant) {
        UseHost(variant.empty() ? std::string() : std::string(BRASK_FAKES_DIR) + "/" + variant);
    }

    // A function the loaded stand-in exports for the test to read back.
    template <class F> static F FakeSymbol(const std::string& library, const char* name) {
        void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        return handle == nullptr ? nullptr : reinterpret_cast<F>(dlsym(handle, name));
    }
};

} // namespace BRASK::TEST
