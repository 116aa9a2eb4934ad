#include "ui/browse/FormBrowser.h"

#include "ui/common/Colours.h"
#include "ui/common/Text.h"

#include "core/App.h"
#include "core/AppPaths.h"
#include "core/Desktop.h"
#include "core/FileUtils.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineNavigationRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace arvelo {
namespace {

// One profile for both browsers: nothing on disk, and a local page reaches
// no other local file and nothing on the network by script.
QWebEngineProfile *BrowserProfile()
{
    static QWebEngineProfile *profile = [] {
        auto *made = new QWebEngineProfile(qApp); // off the record
        made->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        made->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        QWebEngineSettings *settings = made->settings();
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        return made;
    }();
    return profile;
}

// The shipped pages (home page, release notes) send their links to the
// maker's site to the desktop's browser.
class TBrowserPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
        const QString shipped = QFileInfo(Q(ShippedDataFolder())).canonicalFilePath();
        const bool fromShipped = this->url().isLocalFile() && !shipped.isEmpty() &&
                                 QFileInfo(this->url().toLocalFile()).canonicalFilePath().startsWith(shipped);
        if (web && fromShipped && type == NavigationTypeLinkClicked) {
            OpenUrl(url.toString(QUrl::FullyEncoded).toStdString());
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
};

QUrl UrlOf(const std::string &address)
{
    const QString text = Q(address);
    if (text.startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(text);
    return QUrl::fromUserInput(text);
}

} // namespace

TFormBrowser::TFormBrowser(std::function<void(const QString &)> status, QWidget *parent)
    : QWidget(parent), status_(std::move(status))
{
    setObjectName(QStringLiteral("FormBrowser"));
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto button = [this](const char *name, const QString &hint, QStyle::StandardPixmap picture) {
        auto *made = new QToolButton(Panel1);
        made->setObjectName(QString::fromLatin1(name));
        made->setToolTip(hint);
        made->setIcon(style()->standardIcon(picture));
        made->setAutoRaise(true);
        return made;
    };
    btnBrowserBack = button("btnBrowserBack", QStringLiteral("Back"), QStyle::SP_ArrowBack);
    btnBrowserForward = button("btnBrowserForward", QStringLiteral("Forward"), QStyle::SP_ArrowForward);
    btnBrowserStop = button("btnBrowserStop", QStringLiteral("Stop"), QStyle::SP_BrowserStop);
    btnBrowserRefresh = button("btnBrowserRefresh", QStringLiteral("Refresh"), QStyle::SP_BrowserReload);
    btnBrowserHome = button("btnBrowserHome", QStringLiteral("Home"), QStyle::SP_DirHomeIcon);
    cmbBrowserURL = new QComboBox(Panel1);
    cmbBrowserURL->setObjectName(QStringLiteral("cmbBrowserURL"));
    cmbBrowserURL->setEditable(true);
    cmbBrowserURL->setInsertPolicy(QComboBox::NoInsert);
    cmbBrowserURL->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(cmbBrowserURL->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { Navigate(S(cmbBrowserURL->currentText().trimmed())); });
    connect(cmbBrowserURL, &QComboBox::activated, this,
            [this](int index) { Navigate(S(cmbBrowserURL->itemText(index))); });
    auto *bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(2);
    for (QWidget *widget : {static_cast<QWidget *>(btnBrowserBack), static_cast<QWidget *>(btnBrowserForward),
                            static_cast<QWidget *>(btnBrowserStop), static_cast<QWidget *>(btnBrowserRefresh),
                            static_cast<QWidget *>(btnBrowserHome)})
        bar->addWidget(widget);
    bar->addWidget(cmbBrowserURL, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);

    // The background of palette colour 4 while no page shows.
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(CssColour(TAVApp::Instance()->Palette().colour[3])));
    setPalette(colours);
    UpdateCommands();
}

void TFormBrowser::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!view_ && !noDisplay_)
        CreateView();
}

void TFormBrowser::CreateView()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // A web view needs a display to draw on.
        noDisplay_ = new QLabel(QStringLiteral("The built-in browser needs a display."), this);
        noDisplay_->setAlignment(Qt::AlignCenter);
        static_cast<QVBoxLayout *>(layout())->addWidget(noDisplay_, 1);
        return;
    }
    view_ = new QWebEngineView(this);
    view_->setObjectName(QStringLiteral("WebBrowser"));
    view_->setPage(new TBrowserPage(BrowserProfile(), view_));
    static_cast<QVBoxLayout *>(layout())->addWidget(view_, 1);
    QWebEnginePage *page = view_->page();
    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        btnBrowserStop->setEnabled(true);
        status_(QStringLiteral("Opening Page..."));
    });
    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        cmbBrowserURL->setEditText(url.isLocalFile() ? url.toLocalFile() : url.toString());
        UpdateCommands();
    });
    connect(page, &QWebEnginePage::navigationRequested, this, [this](QWebEngineNavigationRequest &request) {
        if (!request.isMainFrame()) {
            btnBrowserStop->setEnabled(true);
            status_(QStringLiteral("Navigating Frame..."));
        }
    });
    connect(page, &QWebEnginePage::linkHovered, this, [this](const QString &url) {
        if (!url.isEmpty())
            status_(url);
    });
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        status_(QStringLiteral("Done."));
        const QUrl url = view_->url();
        Remember(url.isLocalFile() ? url.toLocalFile() : url.toString());
        UpdateCommands();
        // The history takes the page a moment after it has loaded.
        QTimer::singleShot(0, this, [this] { UpdateCommands(); });
        Q_EMIT LoadFinished(ok);
    });
    connect(btnBrowserBack, &QToolButton::clicked, view_, &QWebEngineView::back);
    connect(btnBrowserForward, &QToolButton::clicked, view_, &QWebEngineView::forward);
    connect(btnBrowserStop, &QToolButton::clicked, view_, &QWebEngineView::stop);
    connect(btnBrowserRefresh, &QToolButton::clicked, view_, &QWebEngineView::reload);
    connect(btnBrowserHome, &QToolButton::clicked, this, [this] {
        if (!home_.empty())
            Navigate(home_);
    });
    UpdateCommands();
    if (!pending_.empty())
        Navigate(std::exchange(pending_, std::string()));
}

void TFormBrowser::Navigate(const std::string &address)
{
    if (address.empty())
        return;
    if (!view_) {
        pending_ = address;
        return;
    }
    view_->load(UrlOf(address));
}

void TFormBrowser::Remember(const QString &address)
{
    // Most recent first, each address once whatever its letter case.
    for (int i = 0; i < cmbBrowserURL->count(); ++i)
        if (cmbBrowserURL->itemText(i).compare(address, Qt::CaseInsensitive) == 0)
            return;
    cmbBrowserURL->insertItem(0, address);
    cmbBrowserURL->setEditText(address);
}

void TFormBrowser::UpdateCommands()
{
    const bool view = view_ != nullptr;
    btnBrowserBack->setEnabled(view && view_->history()->canGoBack());
    btnBrowserForward->setEnabled(view && view_->history()->canGoForward());
    btnBrowserStop->setEnabled(false);
    btnBrowserRefresh->setEnabled(view);
    btnBrowserHome->setEnabled(view && !home_.empty());
}

} // namespace arvelo
