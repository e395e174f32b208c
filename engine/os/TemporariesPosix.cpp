// Temporary files that an interruption removes. A signal handler may only
// make async-signal-safe calls, so the files live in a fixed table of slots
// whose paths are written before the file exists, and a thread that creates,
// names or removes a file keeps the signals away from itself meanwhile: the
// handler waits until no thread is so busy, then unlinks what is left.
#include "Os.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {
enum SlotState { kFree, kClaimed, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    std::atomic<int> descriptor{-1};
    // Allocated on first use and never given back: the handler may be
    // reading it whatever the other threads do.
    char* path = nullptr;
};

constexpr size_t kSlots = 1024;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
Slot slots[kSlots];
std::atomic<size_t> slotsUsed{0};
std::atomic<int> busyThreads{0};
std::atomic<bool> interrupted{false};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler relies on lock-free atomics");

// While it lives, this thread takes no signal of ours and the handler waits
// for it; after an interruption it never returns, the program is ending.
class BusyWithTemporaries {
public:
    BusyWithTemporaries()
    {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int signal : kSignals)
            sigaddset(&blocked, signal);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
        ++busyThreads;
        if (interrupted) {
            --busyThreads;
            for (;;)
                ::pause();
        }
    }
    ~BusyWithTemporaries()
    {
        --busyThreads;
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    BusyWithTemporaries(const BusyWithTemporaries&) = delete;
    BusyWithTemporaries& operator=(const BusyWithTemporaries&) = delete;

private:
    sigset_t previous_;
};

Slot* claimSlot(const CString& path)
{
    if (path.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    for (Slot& slot : slots) {
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kClaimed))
            continue;
        if (!slot.path)
            slot.path = new char[PATH_MAX];
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        const size_t used = static_cast<size_t>(&slot - slots) + 1;
        for (size_t seen = slotsUsed; seen < used && !slotsUsed.compare_exchange_weak(seen, used);) {
        }
        return &slot;
    }
    errno = EMFILE;
    return nullptr;
}

Slot* slotOf(int descriptor)
{
    for (size_t n = 0; n < slotsUsed; ++n)
        if (slots[n].state == kHeld && slots[n].descriptor == descriptor)
            return &slots[n];
    return nullptr;
}

int descriptorOf(FileHandle file)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(file));
}

// path still names the file held open as descriptor.
bool stillHeld(int descriptor, const char* path)
{
    struct stat held, named;
    if (::fstat(descriptor, &held) != 0 || ::lstat(path, &named) != 0)
        return false;
    if (held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        return true;
    errno = ENOENT;
    return false;
}

bool renameWithoutReplacing(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse by itself: asked first.
    struct stat there;
    if (::lstat(to, &there) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

void removeHeldTemporaries(int signal)
{
    interrupted = true;
    while (busyThreads != 0) {
    }
    for (size_t n = 0; n < slotsUsed; ++n)
        if (slots[n].state == kHeld)
            ::unlink(slots[n].path);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}
} // namespace

FileHandle createTemporaryFile(const CString& path)
{
    const BusyWithTemporaries busy;
    Slot* slot = claimSlot(path);
    if (!slot)
        return kInvalidFile;
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        const int error = errno;
        slot->state = kFree;
        errno = error;
        return kInvalidFile;
    }
    slot->descriptor = descriptor;
    slot->state = kHeld;
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(descriptor));
}

bool nameTemporaryFile(FileHandle file, const CString& path, const CString& target, bool replace)
{
    const int descriptor = descriptorOf(file);
    {
        const BusyWithTemporaries busy;
        if (!stillHeld(descriptor, path.c_str()))
            return false;
        const bool named = replace ? ::rename(path.c_str(), target.c_str()) == 0
                                   : renameWithoutReplacing(path.c_str(), target.c_str());
        if (!named)
            return false;
        if (Slot* slot = slotOf(descriptor))
            slot->state = kFree;
    }
    ::close(descriptor);
    return true;
}

void discardTemporaryFile(FileHandle file, const CString& path)
{
    const int descriptor = descriptorOf(file);
    {
        const BusyWithTemporaries busy;
        const int error = errno;
        if (stillHeld(descriptor, path.c_str()))
            ::unlink(path.c_str());
        if (Slot* slot = slotOf(descriptor))
            slot->state = kFree;
        errno = error;
    }
    ::close(descriptor);
}

void removeTemporariesWhenInterrupted()
{
    struct sigaction action = {};
    action.sa_handler = removeHeldTemporaries;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

const char* const kSeparators = "/";

CString nameKey(const CString& name)
{
    return name;
}

} // namespace os
