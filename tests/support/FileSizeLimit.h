#pragma once
// A full disk for this process: no regular file may grow past `bytes` while it lives, and a
// write beyond that fails (EFBIG) instead of raising SIGXFSZ.
#include <sys/resource.h>

#include <csignal>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        rlimit limited = FSaved;
        limited.rlim_cur = bytes;
        FSet = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &FSaved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Set() const { return FSet; }

private:
    rlimit FSaved{};
    bool FSet = false;
};
