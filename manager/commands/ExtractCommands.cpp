// Writing entries to disk: the Extract command, opening an entry with the
// program of its file type, and the files that rows dragged out become.
#include "MainWindow.h"

#include "ConfirmDialog.h"
#include "EntryDropSource.h"
#include "ExtractedFile.h"
#include "FileListDataObject.h"
#include "FolderBrowseDialog.h"
#include "Wildcard.h"
#include "ZipPaths.h"
#include "ZipTime.h"

#include <shellapi.h>

#include <algorithm>

namespace {
constexpr const char* kCaption = "Packrook";
// How the engine tells of an encrypted entry that the password does not open.
constexpr const char* kWrongPassword = "Encryption problem ";

CString withBackslash(CString path)
{
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path;
}

CString windowsSeparators(CString path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Creates each folder of relative ("a\\b\\") below target in turn, up to
// the first empty component; returns target with the folders added. Throws
// when one is required and not there afterwards.
CString createFolders(CString target, const CString& relative, bool required)
{
    size_t start = 0;
    for (size_t end; (end = relative.find('\\', start)) != CString::npos && end > start; start = end + 1) {
        target += relative.substr(start, end - start) + "\\";
        if (!os::createFolder(target) && required)
            throw CZipException("Failed to create directory " + target);
    }
    return target;
}

// The system's temporary folder + "Packrook\\", made when missing.
CString workFolder()
{
    const CString folder = os::tempFolder() + "Packrook\\";
    os::createFolder(folder);
    return folder;
}

// Closes an entry that has been opened once it has been read.
class EntryCloser {
public:
    EntryCloser(CZipFile& archive, int index) : archive_(archive), index_(index) {}
    ~EntryCloser() { archive_.closeFile(index_); }
    EntryCloser(const EntryCloser&) = delete;
    EntryCloser& operator=(const EntryCloser&) = delete;

private:
    CZipFile& archive_;
    int index_;
};
} // namespace

void MainWindow::extract()
{
    if (!archiveOpen())
        return;
    FolderBrowseDialog chooser(instance_);
    if (chooser.run(window_) != IDOK || chooser.chosenFolder().empty())
        return;
    const CString folder = chooser.chosenFolder();
    std::vector<int32_t> indices;
    const bool selected = collectSelection(indices);
    refusedNames_.clear();
    openProgress();
    try {
        const bool stopped = extractEntries(folder, indices);
        if (!selected && !stopped)
            createEmptyFolders(folder);
    } catch (const CZipException& error) {
        reportError(error);
    }
    finishOperation();
    reportRefusedNames();
}

// True when Cancel or No To All stopped the run before its end.
bool MainWindow::extractEntries(const CString& folder, const std::vector<int32_t>& indices)
{
    OverwriteMode mode = OverwriteMode::ask;
    for (int32_t index : indices) {
        extractEntry(folder, index, mode, true);
        if (checkForUserCancel() || mode == OverwriteMode::skipAll)
            return true;
    }
    return false;
}

// Folder entries give no rows; only they bring empty folders along.
void MainWindow::createEmptyFolders(const CString& folder)
{
    for (int index = 0; index < archive_.getFileCount(); ++index) {
        const CString path = withBackslash(windowsSeparators(archive_.getPath(index)));
        if (!archive_.getFileName(index).empty() || archive_.getPath(index).empty() || refusedName(index, path))
            continue;
        createFolders(withBackslash(folder), path, false);
    }
}

CString MainWindow::extractEntry(const CString& folder, int index, OverwriteMode& mode, bool withPath)
{
    const CString written = withPath ? archive_.getPath(index) + archive_.getFileName(index)
                                     : archive_.getFileName(index);
    if (refusedName(index, written))
        return CString();
    openEntry(index);
    const EntryCloser closer(archive_, index);
    CString target = withBackslash(folder);
    if (withPath)
        target = createFolders(target, withBackslash(windowsSeparators(archive_.getCurrentOpenFilePath())), true);
    target += archive_.getCurrentOpenFileFileName();
    if (mode != OverwriteMode::overwriteAll && fileExists(target) && !mayOverwrite(target, mode))
        return CString();
    extractOpenEntry(archive_, target, copyBuffer_);
    if (!archive_.isTarMode() && !archive_.isGzipMode())
        applyStoredTime(target, *archive_.getFileHeader(index));
    return target;
}

// An encrypted entry that fails the password check asks for the password
// again: the one remembered may have been mistyped, and would fail every
// later entry as well. Cancel gives up with the failure as it was.
void MainWindow::openEntry(int index)
{
    for (;;) {
        try {
            archive_.openFile(index);
            return;
        } catch (const CZipException& error) {
            if (error.getMessage().rfind(kWrongPassword, 0) != 0
                || !askForPasswordAgain(archive_.getPath(index) + archive_.getFileName(index)))
                throw;
            archive_.setPassword(password_);
        }
    }
}

// An entry whose name would be written outside the folder, or to a device or
// a stream, or that the system cannot spell, is left out; the user hears of
// it once the command is over.
bool MainWindow::refusedName(int index, const CString& written)
{
    if (!refusedForExtraction(archive_, index, written))
        return false;
    refusedNames_.push_back(archive_.getPath(index) + archive_.getFileName(index));
    return true;
}

bool MainWindow::mayOverwrite(const CString& target, OverwriteMode& mode)
{
    if (mode == OverwriteMode::skipAll)
        return false;
    hideForPrompt();
    const INT_PTR answer =
        ConfirmDialog(instance_, ConfirmDialog::kFileExists,
                      "The file " + target + " already exists\r\n\r\nDo You want to overwrite it?")
            .run(window_);
    if (answer == ConfirmDialog::kYesToAll)
        mode = OverwriteMode::overwriteAll;
    else if (answer == ConfirmDialog::kNoToAll)
        mode = OverwriteMode::skipAll;
    return answer == ConfirmDialog::kYes || answer == ConfirmDialog::kYesToAll;
}

void MainWindow::reportRefusedNames()
{
    if (refusedNames_.empty())
        return;
    const CString text = refusedNamesWarning(refusedNames_);
    refusedNames_.clear();
    ::MessageBoxA(window_, text.c_str(), kCaption, MB_ICONWARNING | MB_OK);
}

// The copy in the work folder is replaced without a question.
void MainWindow::openEntryWithAssociation()
{
    int32_t index = 0;
    if (!entryList_.firstSelectedEntry(index))
        return;
    refusedNames_.clear();
    try {
        OverwriteMode mode = OverwriteMode::overwriteAll;
        const CString written = extractEntry(workFolder(), index, mode, false);
        if (!written.empty())
            openWithProgram(written);
    } catch (const CZipException& error) {
        reportError(error);
    }
    reportRefusedNames();
}

void MainWindow::openWithProgram(const CString& path)
{
    const auto started = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(window_, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (started == SE_ERR_NOASSOC)
        ::MessageBoxA(window_, "There is no association with this file.\nPlease create one first", kCaption,
                      MB_ICONINFORMATION | MB_OK);
}

// The drop target copies files that only exist once the button is let go:
// the data names them in the work folder and the release extracts them.
void MainWindow::dragOut()
{
    std::vector<int32_t> indices;
    if (!collectSelection(indices))
        indices.clear();
    refusedNames_.clear();
    const CString folder = workFolder();
    std::vector<CString> paths;
    std::vector<int32_t> dragged;
    for (int32_t index : indices) {
        if (refusedName(index, archive_.getFileName(index)))
            continue;
        dragged.push_back(index);
        paths.push_back(folder + archive_.getFileName(index));
    }
    CString failure;
    auto* data = new FileListDataObject(paths);
    auto* source = new EntryDropSource([&] { return extractForDrop(folder, dragged, failure); });
    DWORD effect = DROPEFFECT_NONE;
    ::DragAcceptFiles(entryList_.handle(), FALSE);
    ::DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
    ::DragAcceptFiles(entryList_.handle(), TRUE);
    source->Release();
    data->Release();
    if (!failure.empty())
        reportError(CZipException(failure));
    reportRefusedNames();
}

bool MainWindow::extractForDrop(const CString& folder, const std::vector<int32_t>& indices, CString& failure)
{
    OverwriteMode mode = OverwriteMode::ask;
    try {
        for (int32_t index : indices)
            extractEntry(folder, index, mode, false);
    } catch (const CZipException& error) {
        failure = error.getMessage();
        return false;
    }
    return !indices.empty();
}
