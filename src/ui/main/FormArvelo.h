#pragma once

#include "shell/OpenedTexts.h"
#include "shell/RecentList.h"
#include "core/TextUtils.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class QSplitter;
class QStackedWidget;
class QSystemTrayIcon;
class QTabWidget;
class QToolButton;
class QTreeView;

namespace arvelo {

class TAVTask;
class TExploreModel;
class TFormBrowser;
class TFormDownloader;
class TFormExplore;
class TFormScheduler;
class TFormStatus;
class TRunEvents;
class TSlotTableModel;
class TTempFolderLease;
class TFormZip;
class TZipBrowser;
class TZipPane;
class TThreadSchedule;
struct TRunEngine;

// The program's one top-level window: the address bar, the menus, the
// archive pane, the pages (properties, browse, tasks, connections, explore,
// home) switched by link labels, and the status panel below them. It owns
// the engine of the running program.
class TFormArvelo : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormArvelo(QWidget *parent = nullptr);
    ~TFormArvelo() override;

    TRunEngine &Engine() { return *engine_; }
    TRunEvents &Events() { return *events_; }
    TZipBrowser &Archives() { return *zips_; }

    // Dropped texts, the first argument or a second start's arguments, to
    // the handler registered for what they are taken for.
    using TOpenHandler = std::function<void(const std::vector<std::string> &)>;
    void RegisterOpenHandler(TOpenKind kind, TOpenHandler handler);
    void OpenTexts(const std::vector<std::string> &texts, TOpenSource source);
    // A later start's arguments, each on its own; none brings the window up.
    void OpenHandedOver(const QStringList &arguments);
    // Shown (from the tray too), restored and in front.
    void BringToFront();

    // The address bar's commands.
    void Go(bool map = false);
    void NewTaskFromAddress();
    void PasteURL();
    void SetIntranetMode(bool intranet);
    void ShowPage(QWidget *page, bool refresh = true);
    // The Browse command: the Browse page, and on it the wide view toggled.
    void BrowseExecute();
    QWidget *CurrentPage() const;

    // Preferences, on one of its pages (0 General ... 4 Browser); after OK
    // the window follows what changed.
    void OpenPreferences(int page = 0);

    // The main menu's entries by name ("miFileExit"), for its issue to wire.
    QAction *Action(const char *name) const;

    // The current skin's pictures, on this window and the status panel
    // (its colours are the palette's, set when the window is built).
    void ApplySkin();
    // The skin dialog: a click previews, OK keeps, Cancel goes back.
    void SelectSkin();
    // The icon in the notification area, and whether the desktop has one
    // (asked when the window is minimised; replaceable for tests).
    QSystemTrayIcon *TrayIcon() const { return trayIcon_; }
    static inline bool (*IsTrayAvailable)() = nullptr;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QWidget *BuildAddressBar();
    void BuildPanes(QWidget *addressBar);
    void BuildMenus();
    void ConnectEngine();
    void ConnectTaskMenu();
    void ConnectArchives();
    void UpdateArchiveCommands();
    void FillReopenMenu(QMenu *menu);
    // The archive commands.
    void OpenArchiveDialog();
    void OpenArchive(const std::string &path);
    void FileZipWizard(bool currentArchive, const StringList &files = {});
    void DeleteInArchives();
    void UnzipArchive();
    void OpenTodaysArchive();
    bool FocusOnArchives() const;
    void RefreshBrowse();
    // The Browse commands: a task's copy (its start page) or one item of
    // it, offline or on the internet, in the default browser, one of the
    // two browsers found (1 or 2) or the built-in one.
    enum class TBrowseWith { kDefault, kFirst, kSecond, kIntegrated, kTextEditor };
    void BrowseTask(TAVTask *task, bool online, TBrowseWith with);
    void BrowseItem(TAVTask *task, int row, bool online, TBrowseWith with);
    void BrowseArchiveEntry(TBrowseWith with, bool fromList);
    // The local copy of the address: at once for a folder copy, once the
    // archive is extracted for a zip copy; false when the archive is missing.
    bool WithLocalPage(TAVTask &task, const std::string &localFile, std::function<void(const std::string &)> then);
    void OpenWith(TBrowseWith with, const std::string &target);
    void UpdateBrowserEntries();
    void FirstActivation();
    void BuildTrayIcon();
    void ConnectHelp();
    void ShowAbout();
    bool TrayAvailable() const;
    QAction *AddAction(QMenu *menu, const char *name, const QString &text, const QString &keys = {});
    // Enables a menu entry and connects it to what it does.
    template <typename Slot>
    void Wire(const char *name, Slot slot);
    QAction *AddShownKeyAction(QMenu *menu, const char *name, const QString &text, const QString &keys);
    void UpdateEditMenu();
    void UpdateFileMenu();
    void FillDownloadsMenu(QMenu *menu);
    void FillProfiles();
    void FillRecentURLs();
    bool NewTask(const std::string &address, const std::string &profile, bool map, bool intranet);
    void RunTask(TAVTask *task);
    void OnRunStarted(TAVTask *task);
    void OnRunEnded(TAVTask *task);

    std::unique_ptr<TTempFolderLease> tempLease_;
    std::unique_ptr<TRunEngine> engine_;
    std::unique_ptr<TRunEvents> events_;
    std::unique_ptr<TSlotTableModel> slotModel_;
    std::unique_ptr<TExploreModel> exploreModel_;
    std::unique_ptr<TThreadSchedule> schedule_;
    std::unique_ptr<TZipBrowser> zips_;
    std::map<TOpenKind, TOpenHandler> openHandlers_;
    TRecentList recentURLs_;
    bool closing_ = false;

    QComboBox *cmbURL, *cmbProfile;
    QToolButton *btnNew, *btnOpen, *btnDownloads, *btnArveloMode, *btnIntranetMode, *btnAddToSelectedZip, *btnHelp,
        *btnGo;
    QMenu *goMenu_, *downloadsMenu_;
    // The skin's animation (running while a task runs) and banner strip.
    QLabel *imgAnimation;
    QWidget *imgBanner;
    QSystemTrayIcon *trayIcon_ = nullptr;
    QSplitter *splitter_;
    TZipPane *pcZips;
    QTreeView *tvZip, *tvPages, *tvIntranet;
    TFormZip *formZip_;
    QStackedWidget *PageControl;
    QWidget *tsProperties, *tsBrowse, *tsTasks, *tsSockets, *tsExplore, *tsHome;
    QLabel *lblZipProperties, *lblConnections, *lblExplore, *lblBrowse, *lblTasks, *lblHome;
    QAction *actHome, *actZipProperties, *actBrowse, *actTasks, *actConnections, *actExplore;
    QMenu *reopenMenu_;
    QMenu *menuFile_, *menuEdit_, *menuView_, *menuZip_, *menuTask_, *menuHelp_;
    TFormStatus *pnlStatus;
    TFormDownloader *formDownloader_;
    TFormScheduler *formScheduler_;
    TFormExplore *formExplore_;
    TFormBrowser *homeBrowser_, *browseBrowser_;
    bool homeShown_ = false;
};

} // namespace arvelo
