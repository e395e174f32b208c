// Extracting many entries on worker threads, each with its own reader; the
// caller's thread hands nothing out itself but hears of every entry, in the
// order given, and is the only one that speaks to its callback.
#include "ZipFile.h"

#include "ExtractedFile.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {
// How often the caller's thread looks at Cancel while no entry finishes.
constexpr std::chrono::milliseconds kCancelLook(100);

// A worker has nobody to ask: the password was settled before it started.
class WorkerCallBack : public ICallBack {
public:
    bool askForDisk(int) override { return false; }
    bool askForSpanning() override { return false; }
    bool askForPassword(CString&) override { return false; }
    CString getPassword() override { return CString(); }
    void setStatusText(CString) override {}
};

CString extractionError(CZipFile& reader, const ExtractJob& job, CZipBuffer& buffer, TemporaryNames& names)
{
    try {
        extractEntryTo(reader, job.index, job.target, buffer, names);
        return CString();
    } catch (const CZipException& error) {
        return error.getMessage();
    } catch (const std::exception& error) {
        return error.what();
    }
}

std::vector<CString> targetsOf(const std::vector<ExtractJob>& jobs)
{
    std::vector<CString> targets;
    for (const ExtractJob& job : jobs)
        targets.push_back(job.target);
    return targets;
}

// The entries handed out in order, and what became of each. Entries are
// begun in order and at most a few ahead of the last one reported, so those
// begun are always the first ones, and a stop leaves few still to finish.
class Handout {
public:
    Handout(const std::vector<ExtractJob>& jobs, size_t threads, TemporaryNames& names)
        : jobs_(jobs), names_(names), errors_(jobs.size()), done_(jobs.size()), ahead_(2 * threads)
    {
    }

    // Extracts entries through reader until none are left or handing out stopped.
    void work(CZipFile& reader)
    {
        CZipBuffer buffer;
        size_t job;
        while (take(job)) {
            CString error = extractionError(reader, jobs_[job], buffer, names_);
            const std::lock_guard<std::mutex> lock(mutex_);
            errors_[job] = std::move(error);
            done_[job] = true;
            finished_.notify_one();
        }
    }

    void stop()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        room_.notify_all();
    }

    // Waits until job is done; false when it will never be begun. Cancel is
    // looked at while the wait goes on.
    bool waitFor(size_t job, ICallBack& callback)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto done = [&] { return job < begun_ && done_[job]; };
        while (!done()) {
            if (job == begun_ && (stopped_ || begun_ == jobs_.size()))
                return false;
            if (!finished_.wait_for(lock, kCancelLook, done)) {
                lock.unlock();
                const bool cancelled = callback.checkForUserCancel();
                lock.lock();
                if (cancelled) {
                    stopped_ = true;
                    room_.notify_all();
                }
            }
        }
        return true;
    }

    CString error(size_t job)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return errors_[job];
    }

    // The caller has heard of job: the workers may go on past it.
    void reported(size_t job)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        reported_ = job + 1;
        room_.notify_all();
    }

private:
    bool take(size_t& job)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] { return stopped_ || begun_ == jobs_.size() || begun_ < reported_ + ahead_; });
        if (stopped_ || begun_ == jobs_.size())
            return false;
        job = begun_++;
        return true;
    }

    const std::vector<ExtractJob>& jobs_;
    TemporaryNames& names_;
    std::vector<CString> errors_;
    std::vector<bool> done_;
    const size_t ahead_;
    std::mutex mutex_;
    std::condition_variable finished_;
    std::condition_variable room_;
    size_t begun_ = 0;
    size_t reported_ = 0;
    bool stopped_ = false;
};

// One thread per reader; however the caller's thread leaves, handing out
// stops and every worker is waited for.
class Workers {
public:
    Workers(Handout& handout, const std::vector<std::unique_ptr<CZipFile>>& readers) : handout_(handout)
    {
        for (const auto& reader : readers)
            threads_.emplace_back([&handout, &reader] { handout.work(*reader); });
    }
    ~Workers()
    {
        handout_.stop();
        for (std::thread& thread : threads_)
            thread.join();
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

private:
    Handout& handout_;
    std::vector<std::thread> threads_;
};
}

void CZipFile::extractInParallel(const std::vector<ExtractJob>& jobs, const ExtractReport& report)
{
    const size_t threads = std::min<size_t>(threadCount_, jobs.size());
    if (threads < 2 || !openableBySeveral()) {
        extractInTurn(jobs, report);
        return;
    }
    settlePassword(jobs);
    WorkerCallBack quiet;
    std::vector<std::unique_ptr<CZipFile>> readers;
    for (size_t n = 0; n < threads; ++n) {
        readers.push_back(std::make_unique<CZipFile>(&quiet));
        readers.back()->openBeside(path_, password_);
    }
    TemporaryNames names(targetsOf(jobs));
    Handout handout(jobs, threads, names);
    const Workers workers(handout, readers);
    for (size_t job = 0; handout.waitFor(job, *callback_); ++job) {
        callback_->setStatusText("Extracting file " + getFileName(jobs[job].index));
        if (!goOn(jobs[job], handout.error(job), report))
            handout.stop();
        handout.reported(job);
    }
}

void CZipFile::extractInTurn(const std::vector<ExtractJob>& jobs, const ExtractReport& report)
{
    CZipBuffer buffer;
    TemporaryNames names(targetsOf(jobs));
    for (const ExtractJob& job : jobs) {
        if (!goOn(job, extractionError(*this, job, buffer, names), report))
            return;
    }
}

// This reader already holds the archive, perhaps open for writing: a
// worker's reader only reads, and lets it.
void CZipFile::openBeside(const CString& path, const CString& password)
{
    openForReading(path, os::OpenMode::ReadBeside);
    if (!parseCentralDir())
        throw CZipException("Unable to open file " + path);
    password_ = password;
}

bool CZipFile::goOn(const ExtractJob& job, const CString& error, const ExtractReport& report)
{
    return report(job, error) && !callback_->checkForUserCancel();
}

// Each worker opens the archive afresh, which only a zip archive that is
// one file on a fixed disk allows without asking anybody.
bool CZipFile::openableBySeveral() const
{
    const CZipCentralDir::EndRecord& end = centralDir_.endRecord();
    return !gzipMode_ && !tarMode_ && !recovered_ && !isSpannedSet() && end.thisDisk == 0 && end.startDisk == 0;
}

// A worker cannot ask for a password: it is asked for here, once, as the
// first encrypted entry would have asked for it.
void CZipFile::settlePassword(const std::vector<ExtractJob>& jobs)
{
    const auto encrypted = [this](const ExtractJob& job) { return getFileHeader(job.index)->IsEncrypted(); };
    if (password_.empty() && std::any_of(jobs.begin(), jobs.end(), encrypted))
        callback_->askForPassword(password_);
}
