#pragma once
// The manager's one window: toolbar, entry list and status bar around the
// open archive. It also answers the engine's questions while an operation runs.
#include "Dpi.h"
#include "EntryList.h"
#include "ProgressWindow.h"
#include "ZipFile.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <vector>

// What extracting does with a file that is already there; one value lives
// for one command.
enum class OverwriteMode { ask, overwriteAll, skipAll };
enum class PasswordUse;

class MainWindow : public ICallBack {
public:
    static constexpr const char* kClassName = "MainWClass";
    static bool registerClass(HINSTANCE instance);

    explicit MainWindow(HINSTANCE instance);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    bool create(bool visible);
    HWND handle() const { return window_; }

    void setArchivePath(const CString& path) { archivePath_ = path; }
    const CString& archivePath() const { return archivePath_; }
    std::vector<CString>& pendingFiles() { return pendingFiles_; }
    CZipFile& archive() { return archive_; }

    // Opens (or creates) the current archive and adds the pending files.
    void openPendingArchive();
    // Shows the comment of the archive just opened when the user asked for that.
    void showCommentOnOpen();
    // The entry indices of the selected rows (of every row when none is
    // selected, and then false), in the order the archive stores them.
    bool collectSelection(std::vector<int32_t>& indices) const;
    void refreshView();
    void updateCommandStates();
    void updateRecentFiles(const CString& path);

    void openProgress();
    void closeProgress();
    void finishOperation();

    // ICallBack
    bool askForDisk(int disk) override;
    bool askForSpanning() override;
    bool askForPassword(CString& password) override;
    CString getPassword() override;
    Encryption getEncryption() override;
    void setStatusText(CString text) override;
    bool checkForUserCancel() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // False when the message must not reach the default window procedure;
    // the window procedure then returns answer.
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer);

    // Messages
    void onCreate();
    void onSize();
    void onDpiChanged(UINT dpi, const RECT& suggested);
    void onCommand(int command);
    bool onNotify(NMHDR& header, LRESULT& answer);
    void onListNotify(NMHDR& header);
    bool onToolTipText(NMHDR& header);
    void onMenuSelect(int item, UINT flags);
    void onClose();
    void onDropFiles(HDROP drop);

    // Creation
    void createStatusBar();
    void createToolbar();
    // Fonts, toolbar pictures, icons and column widths for the DPI.
    void applyDpi(UINT dpi);
    void setWindowIcons();
    void restorePlacement();
    void savePlacement();

    // View
    CString title() const;
    // A zip archive open in the engine, or a tar or gzip file its readers hold.
    bool archiveReadable() const;
    bool archiveOpen() const;
    // The file cannot be written, or the archive was opened read-only with a note.
    bool shownReadOnly() const;
    void enableCommand(int command, bool enabled);
    void rebuildRecentMenu();

    // Commands
    void openArchive();
    void newArchive();
    void closeArchive();
    void convertToExe();
    void repairArchive();
    void openRecent(int slot);
    void exitProgram();
    void addFiles();
    void deleteSelected();
    void editComment();
    void setPassword();
    void editExe();
    void showOptions();
    void showOverview();
    void showAbout();
    void extract();
    void pasteWithPath();
    void pasteWithoutPath();
    void openEntryWithAssociation();
    void dragOut();

    // Helpers of the commands
    void closeEngineArchive();
    // The password dialog: for adding with the choice of encryption, for
    // reading without. True when the user gave one, now remembered.
    bool promptForPassword(PasswordUse use, const CString& note, CString& password);
    bool askForPasswordToAdd();
    // An encrypted entry the remembered password did not fit.
    bool askForPasswordAgain(const CString& entryName);
    bool writableArchiveOpen() const;
    // False when the user keeps an existing file; throws when it cannot go.
    bool replaceExistingFile(const CString& path);
    // unread: what the walk through the pending folders could not read.
    void openOrCreatePending(std::vector<CString>& unread);
    bool openZipOrRecovered();
    bool openRecovered();
    // Any archive that is to be read but not changed, whatever the reason:
    // the note tells the user why, once, as it opens.
    void showReadOnlyWithNote(const CString& note);
    void expandPendingFolders(std::vector<CString>& unread);
    void reportUnread(const std::vector<CString>& unread);
    void addPendingFiles();
    // Adds with the add options beside the window; the progress window is open.
    void addBesideWindow(std::vector<CString>& files);
    // Runs work beside the window with text in the status bar and the
    // progress window, whose Cancel is disabled.
    void runBesideWithoutCancel(const CString& text, const std::function<void()>& work);
    void reportError(const CZipException& error);

    // Extraction
    bool extractEntries(const CString& folder, const std::vector<int32_t>& indices);
    void createEmptyFolders(const CString& folder);
    // The path written, or empty when the entry was skipped or refused.
    CString extractEntry(const CString& folder, int index, OverwriteMode& mode, bool withPath);
    void openEntry(int index);
    bool refusedName(int index, const CString& written);
    bool mayOverwrite(const CString& target, OverwriteMode& mode);
    void reportRefusedNames();
    void openWithProgram(const CString& path);
    bool extractForDrop(const CString& folder, const std::vector<int32_t>& indices, CString& failure);

    // Dropping and pasting
    int chooseDropCommand();
    void paste(bool withPath);
    void addFileList(const std::vector<CString>& files);
    void hideForPrompt();
    void endPrompt();
    void onWindowThread(const std::function<void()>& call);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND toolbar_ = nullptr;
    // The DPI the window is drawn for, and what is made for it.
    UINT dpi_ = dpi::kBase;
    dpi::Font listFont_;
    dpi::Font statusFont_;
    dpi::ImageList toolbarImages_;
    dpi::Icon bigIcon_;
    dpi::Icon smallIcon_;
    CZipFile archive_;
    // The engine counts only a zip archive as open; a tar or gzip file that
    // its readers opened is recorded here.
    bool readerOpen_ = false;
    // Why the open archive is shown read-only though its file could be
    // written; empty when it is not.
    CString readOnlyNote_;
    CString archivePath_;
    std::vector<CString> pendingFiles_;
    CString password_;
    std::unique_ptr<ProgressWindow> progress_;
    // Entries an extraction left out for their names, told at its end.
    std::vector<CString> refusedNames_;
    CZipBuffer copyBuffer_;
    EntryList entryList_;
};
