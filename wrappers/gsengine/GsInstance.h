// One Ghostscript interpreter instance (gsapi): started once with its arguments, fed PostScript in blocks,
// messages routed to a sink. (Debian's libgs is built without interrupt checks: a poll callback is never
// called, so a running job cannot be stopped from inside the process; GsWorker runs the instance in a
// process of its own for that.)
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::WRAPPERS {

enum class GsStream { Out, Err };

class GsInstance {
public:
    // Whole lines the interpreter writes (without the line feed).
    using LineSink = std::function<void(GsStream stream, std::string_view line)>;

    // Starts an interpreter with `args` (argv[0] included). `tempFolder` becomes the interpreter's temporary
    // folder, the only one it permits by itself, and the process's TMPDIR from then on. Null when start-up
    // failed; `error` says why.
    static std::unique_ptr<GsInstance> Start(const std::vector<std::string>& args,
                                             const std::string& tempFolder, LineSink sink,
                                             std::string& error);
    ~GsInstance();
    GsInstance(const GsInstance&) = delete;
    GsInstance& operator=(const GsInstance&) = delete;

    // A run of PostScript fed in pieces: Begin, Feed..., End. Results are gsapi codes; Feed answers
    // gs_error_NeedInput (-106) while the interpreter waits for more.
    int Begin();
    int Feed(const char* data, std::size_t length);
    int End();
    // Runs one complete string.
    int Run(std::string_view text);

    int PermitWriting(const std::string& path);
    int RevokeWriting(const std::string& path);
    int PermitReading(const std::string& path);

    // Delivers any partial line still held.
    void FlushLines();

private:
    GsInstance() = default;
    static int StdIn(void* handle, char* buffer, int length);
    static int StdOut(void* handle, const char* text, int length);
    static int StdErr(void* handle, const char* text, int length);
    void Collect(GsStream stream, const char* text, int length);

    void* mInstance = nullptr;
    bool mInitialised = false;
    LineSink mSink;
    std::string mPendingOut;
    std::string mPendingErr;
};

} // namespace BRASK::WRAPPERS
