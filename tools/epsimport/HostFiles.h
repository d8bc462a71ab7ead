// Opening files through the reference host, as a host hands them to the plug-in.
#pragma once

#include "brask/IO.h"
#include "brask/TInterfacePtr.h"
#include "brask_host/Host.h"

#include <string>

namespace BRASK::EPSIMPORT {

// Opens `path` read-only through the host's URI registry; kOK with `out` set, else the host's status
// (IFile::kNotFound, kFileTooLarge, kIOError, ...).
Status OpenReadOnly(HOST::Host& host, const std::string& path, TInterfacePtr<IO::IDataProvider>& out);

// `path` made absolute against the working folder, as the host's URIs take it.
std::string AbsolutePath(const std::string& path);

// A reader's text for a status of OpenReadOnly.
std::string OpenErrorText(Status status);

} // namespace BRASK::EPSIMPORT
