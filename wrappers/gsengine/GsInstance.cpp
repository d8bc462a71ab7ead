#include "GsInstance.h"

#include <ghostscript/gserrors.h>
#include <ghostscript/iapi.h>

#include <cstdlib>

namespace BRASK::WRAPPERS {

namespace {

constexpr std::size_t kMaxPendingLine = 64 * 1024;

} // namespace

std::unique_ptr<GsInstance> GsInstance::Start(const std::vector<std::string>& args,
                                              const std::string& tempFolder, LineSink sink,
                                              std::string& error) {
    std::unique_ptr<GsInstance> gs(new GsInstance());
    gs->mSink = std::move(sink);
    int code = gsapi_new_instance(&gs->mInstance, gs.get());
    if (code < 0 || gs->mInstance == nullptr) {
        gs->mInstance = nullptr;
        error = "gsapi_new_instance failed with " + std::to_string(code);
        return nullptr;
    }
    gsapi_set_stdio_with_handle(gs->mInstance, &GsInstance::StdIn, &GsInstance::StdOut, &GsInstance::StdErr,
                                gs.get());
    gsapi_set_arg_encoding(gs->mInstance, GS_ARG_ENCODING_UTF8);

    std::vector<char*> argv;
    argv.reserve(args.size());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    // The interpreter permits its temporary folder (TMPDIR at start-up) for reading, writing and deleting,
    // and puts its scratch files (.tempfile) wherever TMPDIR names at the time: the private folder, for the
    // process's whole life (the worker process holds this one interpreter).
    setenv("TMPDIR", tempFolder.c_str(), 1);
    code = gsapi_init_with_args(gs->mInstance, static_cast<int>(argv.size()), argv.data());
    gs->FlushLines();
    if (code < 0 && code != gs_error_Quit) {
        error = "gsapi_init_with_args failed with " + std::to_string(code);
        return nullptr;
    }
    gs->mInitialised = true;
    return gs;
}

GsInstance::~GsInstance() {
    if (mInstance == nullptr)
        return;
    gsapi_exit(mInstance);
    FlushLines();
    gsapi_delete_instance(mInstance);
}

int GsInstance::Begin() {
    int exitCode = 0;
    return gsapi_run_string_begin(mInstance, 0, &exitCode);
}

int GsInstance::Feed(const char* data, std::size_t length) {
    int exitCode = 0;
    return gsapi_run_string_continue(mInstance, data, static_cast<unsigned int>(length), 0, &exitCode);
}

int GsInstance::End() {
    int exitCode = 0;
    const int code = gsapi_run_string_end(mInstance, 0, &exitCode);
    FlushLines();
    return code;
}

int GsInstance::Run(std::string_view text) {
    int exitCode = 0;
    const int code = gsapi_run_string_with_length(mInstance, text.data(),
                                                  static_cast<unsigned int>(text.size()), 0, &exitCode);
    FlushLines();
    return code;
}

int GsInstance::PermitWriting(const std::string& path) {
    return gsapi_add_control_path(mInstance, GS_PERMIT_FILE_WRITING, path.c_str());
}

int GsInstance::RevokeWriting(const std::string& path) {
    return gsapi_remove_control_path(mInstance, GS_PERMIT_FILE_WRITING, path.c_str());
}

int GsInstance::PermitReading(const std::string& path) {
    return gsapi_add_control_path(mInstance, GS_PERMIT_FILE_READING, path.c_str());
}

void GsInstance::FlushLines() {
    if (!mPendingOut.empty() && mSink)
        mSink(GsStream::Out, mPendingOut);
    if (!mPendingErr.empty() && mSink)
        mSink(GsStream::Err, mPendingErr);
    mPendingOut.clear();
    mPendingErr.clear();
}

int GsInstance::StdIn(void*, char*, int) {
    return 0; // jobs get no standard input
}

int GsInstance::StdOut(void* handle, const char* text, int length) {
    static_cast<GsInstance*>(handle)->Collect(GsStream::Out, text, length);
    return length;
}

int GsInstance::StdErr(void* handle, const char* text, int length) {
    static_cast<GsInstance*>(handle)->Collect(GsStream::Err, text, length);
    return length;
}

void GsInstance::Collect(GsStream stream, const char* text, int length) {
    std::string& pending = stream == GsStream::Out ? mPendingOut : mPendingErr;
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\n' || pending.size() >= kMaxPendingLine) {
            if (mSink)
                mSink(stream, pending);
            pending.clear();
            if (c == '\n')
                continue;
        }
        if (c != '\r')
            pending.push_back(c);
    }
}

} // namespace BRASK::WRAPPERS
