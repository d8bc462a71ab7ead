// The base of every suite's fixture: a private folder removed after the test, every log record the test
// makes, and the check that the test ends with as many live host objects as it started with (a test that
// leaves objects alive has found a leak).
#pragma once

#include "LogCapture.h"
#include "TempDir.h"

#include "brask/ObjectCounter.h"
#include "brask/TInterfacePtr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace BRASK::TEST {

// A new reference-counted object, held by its one reference.
template <class T, class... Args> TInterfacePtr<T> New(Args&&... args) {
    TInterfacePtr<T> made;
    made.Adopt(new T(std::forward<Args>(args)...));
    return made;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets an environment variable (unsets it, given null) until the object goes.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : mName(name) {
        if (const char* old = std::getenv(name))
            mOld = old;
        Set(value);
    }
    ~ScopedEnv() { Set(mOld ? mOld->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    void Set(const char* value) {
        value != nullptr ? ::setenv(mName.c_str(), value, 1) : ::unsetenv(mName.c_str());
    }

private:
    std::string mName;
    std::optional<std::string> mOld;
};

class Fixture : public ::testing::Test {
protected:
    void SetUp() override { mLiveAtStart = ObjectCounter::Live(); }
    void TearDown() override { EXPECT_EQ(ObjectCounter::Live(), mLiveAtStart) << "host objects leaked"; }

    // Writes `bytes` to `name` in the private folder and gives the file's path.
    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path path = mTemp.Path() / name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(std::filesystem::file_size(path), bytes.size()) << path;
        return path.string();
    }
    // The records whose message is `message`.
    std::size_t Logged(const std::string& message) const { return mLog.WithMessage(message).size(); }

    TempDir mTemp;
    LogCapture mLog;
    std::int64_t mLiveAtStart = 0;
};

} // namespace BRASK::TEST
