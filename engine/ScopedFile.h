#pragma once
#include "ZipException.h"
#include "os/Os.h"

// A file the engine works from, closed however the work ends.
class ScopedFile {
public:
    ScopedFile(os::FileHandle handle, const CString& failure) : handle_(handle)
    {
        if (handle_ == os::kInvalidFile)
            throw CZipLastErrorException(failure);
    }
    ~ScopedFile() { os::closeFile(handle_); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    os::FileHandle handle() const { return handle_; }

private:
    os::FileHandle handle_;
};
