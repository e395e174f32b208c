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

// Makes folder and those above it that are missing; the message of the
// first that cannot be made, or empty.
CString folderFailure(const CString& folder)
{
    if (folder.empty() || os::createFolder(folder))
        return CString();
    const size_t above = folder.find_last_of(os::kSeparators);
    if (above != CString::npos && above > 0) {
        CString failure = folderFailure(folder.substr(0, above));
        if (!failure.empty() || os::createFolder(folder))
            return failure;
    }
    return "Failed to create directory " + folder + os::kSeparators[0];
}

CString folderOf(const ExtractJob& job)
{
    const size_t end = job.target.find_last_not_of(os::kSeparators);
    const CString target = job.target.substr(0, end == CString::npos ? 0 : end + 1);
    return job.folder ? target : target.substr(0, target.find_last_of(os::kSeparators));
}

} // namespace

namespace zipextract {
// What the threads of one extraction share. The folders of the entries that
// are not extracted in turn are made here, in order, before any entry is
// extracted: they meet no file of the extraction, and whoever names a
// folder first gives it its spelling, as on one thread.
class PlannedRun {
public:
    explicit PlannedRun(const std::vector<ExtractJob>& jobs)
        : jobs_(jobs), names_(targetsOf(jobs)), failures_(jobs.size())
    {
        CString made;
        for (size_t n = 0; n < jobs.size(); ++n) {
            const CString folder = folderOf(jobs[n]);
            if (jobs[n].inTurn || folder == made)
                continue;
            failures_[n] = folderFailure(folder);
            if (failures_[n].empty())
                made = folder;
        }
    }

    const std::vector<ExtractJob>& jobs() const { return jobs_; }

    // Left to the workers: a file whose folder is there and that meets no
    // other entry's name.
    bool forWorkers(size_t job) const
    {
        return !jobs_[job].inTurn && !jobs_[job].folder && failures_[job].empty();
    }

    // The failure of extracting job through reader, or empty.
    CString extract(CZipFile& reader, size_t job, CZipBuffer& buffer)
    {
        if (!failures_[job].empty())
            return failures_[job];
        if (jobs_[job].inTurn) {
            const CString failure = folderFailure(folderOf(jobs_[job]));
            if (!failure.empty())
                return failure;
        }
        return jobs_[job].folder ? CString() : extractionError(reader, jobs_[job], buffer, names_);
    }

private:
    const std::vector<ExtractJob>& jobs_;
    TemporaryNames names_;
    std::vector<CString> failures_;
};

namespace {
std::vector<size_t> workersJobs(const PlannedRun& run, size_t first)
{
    std::vector<size_t> jobs;
    for (size_t job = first; job < run.jobs().size(); ++job)
        if (run.forWorkers(job))
            jobs.push_back(job);
    return jobs;
}

} // namespace

// The workers' entries handed out in order, and what became of each.
// Entries are begun in order and at most a few ahead of the last one
// reported, so those begun are always the first ones, and a stop leaves few
// still to finish.
class Handout {
public:
    // Hands out the workers' entries from first on.
    Handout(PlannedRun& run, size_t first, size_t threads)
        : run_(run), jobs_(workersJobs(run, first)), errors_(jobs_.size()), done_(jobs_.size()), ahead_(2 * threads)
    {
    }

    size_t size() const { return jobs_.size(); }

    // Extracts entries through reader until none are left or handing out stopped.
    void work(CZipFile& reader)
    {
        CZipBuffer buffer;
        size_t job;
        while (take(job)) {
            CString error = run_.extract(reader, jobs_[job], buffer);
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

    PlannedRun& run_;
    const std::vector<size_t> jobs_;
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

} // namespace zipextract

namespace {
using zipextract::Handout;
using zipextract::PlannedRun;

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
    PlannedRun run(jobs);
    size_t first = 0;
    if (!extractUntilPasswordKnown(run, first, report))
        return;
    Handout handout(run, first, threadCount_);
    const size_t threads = std::min<size_t>(threadCount_, handout.size());
    if (threads < 2 || !openableBySeveral()) {
        extractInTurn(run, first, report);
        return;
    }
    WorkerCallBack quiet;
    std::vector<std::unique_ptr<CZipFile>> readers;
    for (size_t n = 0; n < threads; ++n) {
        readers.push_back(std::make_unique<CZipFile>(&quiet));
        readers.back()->openBeside(path_, password_);
    }
    const Workers workers(handout, readers);
    reportInOrder(run, first, handout, report);
}

// A worker cannot ask for a password: until one is known, the entries are
// extracted here, in turn, so that each encrypted one asks as it would on
// one thread. False when the report or Cancel stopped the run.
bool CZipFile::extractUntilPasswordKnown(PlannedRun& run, size_t& job, const ExtractReport& report)
{
    const std::vector<ExtractJob>& jobs = run.jobs();
    size_t asking = 0;
    // Tar members and gzip files are never encrypted.
    for (size_t n = 0; n < jobs.size() && !tarMode_ && !gzipMode_; ++n)
        if (!jobs[n].folder && getFileHeader(jobs[n].index)->IsEncrypted())
            asking = n + 1;
    CZipBuffer buffer;
    for (; job < asking && password_.empty(); ++job)
        if (!goOn(jobs[job], run.extract(*this, job, buffer), report))
            return false;
    return true;
}

// Entries the workers do not take are extracted here in their turn; after a
// stop only those the workers have begun are still reported.
void CZipFile::reportInOrder(PlannedRun& run, size_t first, Handout& handout, const ExtractReport& report)
{
    CZipBuffer buffer;
    bool stopped = false;
    for (size_t job = first, handedOut = 0; job < run.jobs().size(); ++job) {
        const ExtractJob& planned = run.jobs()[job];
        if (!run.forWorkers(job)) {
            if (!stopped && !goOn(planned, run.extract(*this, job, buffer), report)) {
                stopped = true;
                handout.stop();
            }
            continue;
        }
        if (!handout.waitFor(handedOut, *callback_))
            return;
        callback_->setStatusText("Extracting file " + getFileName(planned.index));
        if (!goOn(planned, handout.error(handedOut), report)) {
            stopped = true;
            handout.stop();
        }
        handout.reported(handedOut++);
    }
}

void CZipFile::extractInTurn(PlannedRun& run, size_t first, const ExtractReport& report)
{
    CZipBuffer buffer;
    for (size_t job = first; job < run.jobs().size(); ++job) {
        if (!goOn(run.jobs()[job], run.extract(*this, job, buffer), report))
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
