// A URI: "scheme:rest", "file:" URIs in their usual forms, or a plain absolute path (scheme "file").
#pragma once

#include "brask/IO.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class URI : public TObject<IO::IURI> {
public:
    // Accepts "file:///abs/path", "file://localhost/abs/path", "file:/abs/path" (percent escapes decoded),
    // "/abs/path" (scheme "file", taken as it is), and "scheme:rest" for any other scheme. The scheme is
    // lower-cased. Anything else (empty, relative path, "file:" without an absolute path, a remote file host)
    // gives kBadArgument and leaves the URI unchanged.
    Status SetText(const CoreString& text) override;
    CoreString GetText() const override { return mText; }
    CoreString GetScheme() const override { return mScheme; }
    CoreString GetPath() const override { return mPath; }

private:
    CoreString mText;
    CoreString mScheme;
    CoreString mPath;
};

} // namespace BRASK::HOST
