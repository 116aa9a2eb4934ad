#include "ui/editors/DlgOptions.h"

#include "ui/common/Dialogs.h"
#include "ui/common/Text.h"

#include "core/App.h"
#include "core/Desktop.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Settings.h"
#include "net/Proxy.h"
#include "shell/RecentList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace arvelo {
namespace {

QLineEdit *Field(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

QCheckBox *Check(const char *name, const QString &text, QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QRadioButton *Radio(const char *name, const QString &text, QWidget *parent)
{
    auto *button = new QRadioButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QPushButton *Button(const char *name, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// A field with its browse button on one row.
QHBoxLayout *Row(QWidget *field, QWidget *button)
{
    auto *row = new QHBoxLayout;
    row->addWidget(field, 1);
    row->addWidget(button);
    return row;
}

} // namespace

TdlgOptions::TdlgOptions(TRecentList &urlHistory, TRecentList &fileHistory, QWidget *parent)
    : QDialog(parent), urlHistory_(urlHistory), fileHistory_(fileHistory)
{
    setObjectName(QStringLiteral("dlgOptions"));
    setWindowTitle(QStringLiteral("Arvelo - Preferences"));
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(BuildGeneral(), QStringLiteral("General"));
    PageControl1->addTab(BuildZipFolders(), QStringLiteral("Zip Folders"));
    PageControl1->addTab(BuildConnection(), QStringLiteral("Connection"));
    PageControl1->addTab(BuildIntranet(), QStringLiteral("Personal Intranet"));
    PageControl1->addTab(BuildBrowser(), QStringLiteral("Browser"));
    TransparentButton2 = Button("TransparentButton2", QStringLiteral("&OK"), this);
    TransparentButton2->setDefault(true);
    TransparentButton3 = Button("TransparentButton3", QStringLiteral("&Cancel"), this);
    connect(TransparentButton2, &QPushButton::clicked, this, [this] {
        Apply();
        accept();
    });
    connect(TransparentButton3, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(TransparentButton2);
    buttons->addWidget(TransparentButton3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);
    // Every page's tab in sight.
    setMinimumWidth(PageControl1->tabBar()->sizeHint().width() + 40);
    Fill(LoadPreferences(*TAVApp::Instance()));
}

QPushButton *TdlgOptions::FolderButton(QLineEdit *field, QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(field->objectName().replace(QStringLiteral("ed"), QStringLiteral("btn")));
    button->setFixedWidth(32);
    connect(button, &QPushButton::clicked, this, [this, field] {
        const std::string folder = Dialogs().FolderName(this, "Browse for Folder", S(field->text()));
        if (!folder.empty())
            field->setText(Q(IncludeTrailingSlash(folder)));
        // Back from its own dialog, the dialog offers the desktop's proxy again.
        QTimer::singleShot(0, this, &TdlgOptions::OfferDetectedProxy);
    });
    return button;
}

QWidget *TdlgOptions::BuildGeneral()
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("tsGeneral"));
    auto *general = new QGroupBox(QStringLiteral("General Settings "), page);
    edMaxURLHistory = Field("edMaxURLHistory", general);
    edMaxFileHistory = Field("edMaxFileHistory", general);
    for (QLineEdit *counter : {edMaxURLHistory, edMaxFileHistory})
        counter->setMaximumWidth(60);
    btnURLHistoryClear = Button("btnURLHistoryClear", QStringLiteral("Clear"), general);
    btnFileHistoryClear = Button("btnFileHistoryClear", QStringLiteral("Clear"), general);
    cbZipLast = Check("cbZipLast", QStringLiteral("Zip files only after download has completed"), general);
    cbNoAds = Check("cbNoAds", QStringLiteral("Turn off banner ad insertion"), general);
    cbZipPropertiesFirst = Check("cbZipPropertiesFirst", QStringLiteral("Display Task Screen at startup"), general);
    cbBeepOnCompletion = Check("cbBeepOnCompletion", QStringLiteral("Beep on task completion"), general);
    auto *grid = new QGridLayout(general);
    grid->addWidget(new QLabel(QStringLiteral("Max. URL's in recently typed URL's list:"), general), 0, 0);
    grid->addWidget(edMaxURLHistory, 0, 1);
    grid->addWidget(btnURLHistoryClear, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Max. files in recently opened files list:"), general), 1, 0);
    grid->addWidget(edMaxFileHistory, 1, 1);
    grid->addWidget(btnFileHistoryClear, 1, 2);
    int row = 2;
    for (QCheckBox *box : {cbZipLast, cbNoAds, cbZipPropertiesFirst, cbBeepOnCompletion})
        grid->addWidget(box, row++, 0, 1, 3);
    auto *temporary = new QGroupBox(QStringLiteral("Temporary Arvelo Files "), page);
    edTempFolder = Field("edTempFolder", temporary);
    auto *temporaryLayout = new QVBoxLayout(temporary);
    temporaryLayout->addWidget(new QLabel(QStringLiteral("Specify a location in which to store temporary files:"), temporary));
    temporaryLayout->addLayout(Row(edTempFolder, FolderButton(edTempFolder, temporary)));
    temporaryLayout->addWidget(new QLabel(QStringLiteral("NOTE: Temporary files are automatically deleted on exit."), temporary));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(general);
    layout->addWidget(temporary);
    layout->addStretch(1);

    auto clear = [this](TRecentList &history, const char *question) {
        if (!Notifier().Confirm(question))
            return;
        while (!history.Entries().empty())
            history.Remove(history.Entries().front());
        history.Save();
    };
    connect(btnURLHistoryClear, &QPushButton::clicked, this,
            [this, clear] { clear(urlHistory_, "Clear all items in your recently typed URL's list?"); });
    connect(btnFileHistoryClear, &QPushButton::clicked, this,
            [this, clear] { clear(fileHistory_, "Clear all items in your recently opened files list?"); });
    return page;
}

QWidget *TdlgOptions::BuildZipFolders()
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto *downloads = new QGroupBox(QStringLiteral("Default Downloads Folder:"), page);
    edDownloadsFolder = Field("edDownloadsFolder", downloads);
    auto *downloadsLayout = new QVBoxLayout(downloads);
    downloadsLayout->addWidget(new QLabel(QStringLiteral("Specify the default folder for all Arvelos"), downloads));
    downloadsLayout->addLayout(Row(edDownloadsFolder, FolderButton(edDownloadsFolder, downloads)));
    auto choice = [this, page](const QString &title, QRadioButton *&last, const char *lastName, QRadioButton *&other,
                               const char *otherName, QLineEdit *&field, const char *fieldName) {
        auto *group = new QGroupBox(title, page);
        last = Radio(lastName, title.startsWith(QLatin1String("Default Zip")) ? QStringLiteral("Last Zip Folder")
                                                                               : QStringLiteral("Last Unzip Folder"),
                     group);
        other = Radio(otherName, QStringLiteral("Folder"), group);
        field = Field(fieldName, group);
        auto *layout = new QGridLayout(group);
        layout->addWidget(last, 0, 0, 1, 2);
        layout->addWidget(other, 1, 0);
        layout->addLayout(Row(field, FolderButton(field, group)), 1, 1);
        // Typing a folder chooses it.
        connect(field, &QLineEdit::textChanged, this, [this, other] {
            if (!loading_)
                other->setChecked(true);
        });
        return group;
    };
    QGroupBox *zip = choice(QStringLiteral("Default Zip Folder:"), rbLastZipFolder, "rbLastZipFolder", rbZipFolder,
                            "rbZipFolder", edZipFolder, "edZipFolder");
    QGroupBox *unzip = choice(QStringLiteral("Default Unzip Folder:"), rbLastUnzipFolder, "rbLastUnzipFolder",
                              rbUnzipFolder, "rbUnzipFolder", edUnzipFolder, "edUnzipFolder");
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(downloads);
    layout->addWidget(zip);
    layout->addWidget(unzip);
    layout->addStretch(1);
    return page;
}

QWidget *TdlgOptions::BuildConnection()
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("tsConnection"));
    auto *proxy = new QGroupBox(QStringLiteral("Proxy Server: "), page);
    cbProxy = Check("cbProxy", QStringLiteral("Connect to the Internet using a proxy server"), proxy);
    edAddress = Field("edAddress", proxy);
    edPort = Field("edPort", proxy);
    edPort->setMaximumWidth(80);
    edProxyUsername = Field("edProxyUsername", proxy);
    edProxyPassword = Field("edProxyPassword", proxy);
    edProxyPassword->setEchoMode(QLineEdit::Password);
    auto *grid = new QGridLayout(proxy);
    grid->addWidget(cbProxy, 0, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Address:"), proxy), 1, 0);
    grid->addWidget(edAddress, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Port:"), proxy), 1, 2);
    grid->addWidget(edPort, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Authorization (If proxy server requires a password):"), proxy), 2, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Username:"), proxy), 3, 0);
    grid->addWidget(edProxyUsername, 3, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Password:"), proxy), 4, 0);
    grid->addWidget(edProxyPassword, 4, 1, 1, 3);
    connect(cbProxy, &QCheckBox::toggled, this, [this](bool on) {
        edAddress->setEnabled(on);
        edPort->setEnabled(on);
    });
    auto *agent = new QGroupBox(QStringLiteral("Agent Identity"), page);
    cmbUserAgent = new QComboBox(agent);
    cmbUserAgent->setObjectName(QStringLiteral("cmbUserAgent"));
    cmbUserAgent->setEditable(true);
    for (const std::string &name : UserAgentNames())
        cmbUserAgent->addItem(Q(name));
    auto *note = new QLabel(QStringLiteral("Some websites serve different pages for different browsing agents (Web "
                                           "Browsers) Use this option to 'trick' the web server into giving you the "
                                           "page you require."),
                            agent);
    note->setWordWrap(true);
    auto *agentLayout = new QVBoxLayout(agent);
    agentLayout->addWidget(new QLabel(QStringLiteral("Indentify Arvelo as:"), agent));
    agentLayout->addWidget(cmbUserAgent);
    agentLayout->addWidget(note);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(proxy);
    layout->addWidget(agent);
    layout->addStretch(1);
    return page;
}

QWidget *TdlgOptions::BuildIntranet()
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("tsIntranet"));
    auto *group = new QGroupBox(QStringLiteral("Local Intranet Folder:"), page);
    edIntranetFolder = Field("edIntranetFolder", group);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(new QLabel(QStringLiteral("Specify the default folder to use for your personal Intranet"), group));
    groupLayout->addLayout(Row(edIntranetFolder, FolderButton(edIntranetFolder, group)));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}

QWidget *TdlgOptions::BuildBrowser()
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("tsBrowser"));
    auto *group = new QGroupBox(QStringLiteral("Web Browser: "), page);
    Image1 = new QLabel(group);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(32, 32);
    cmbBrowsers = new QComboBox(group);
    cmbBrowsers->setObjectName(QStringLiteral("cmbBrowsers"));
    cmbBrowsers->setEditable(true);
    cmbBrowsers->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    TransparentButton4 = Button("TransparentButton4", QStringLiteral("..."), group);
    TransparentButton4->setFixedWidth(32);
    auto *row = new QHBoxLayout(group);
    row->addWidget(Image1);
    row->addWidget(cmbBrowsers, 1);
    row->addWidget(TransparentButton4);
    connect(cmbBrowsers, &QComboBox::currentTextChanged, this, &TdlgOptions::ShowBrowserIcon);
    connect(TransparentButton4, &QPushButton::clicked, this, [this] {
        const std::string program = Dialogs().OpenFileName(this, "Browser", ExtractFilePath(S(cmbBrowsers->currentText())),
                                                           "All files (*.*)|*.*");
        if (!program.empty()) {
            if (std::find(browsers_.begin(), browsers_.end(), program) == browsers_.end()) {
                browsers_.insert(browsers_.begin(), program);
                cmbBrowsers->insertItem(0, Q(program));
            }
            SaveSettingList(kBrowsersKey, browsers_);
            cmbBrowsers->setEditText(Q(program));
        }
        QTimer::singleShot(0, this, &TdlgOptions::OfferDetectedProxy);
    });
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}

void TdlgOptions::Fill(const TPreferencesForm &form)
{
    loading_ = true;
    edMaxURLHistory->setText(Q(form.maxURLHistory));
    edMaxFileHistory->setText(Q(form.maxFileHistory));
    cbZipLast->setChecked(form.zipLast);
    cbNoAds->setChecked(form.noAds);
    cbZipPropertiesFirst->setChecked(form.zipPropertiesFirst);
    cbBeepOnCompletion->setChecked(form.beepOnCompletion);
    edTempFolder->setText(Q(form.tempFolder));
    edDownloadsFolder->setText(Q(form.downloadsFolder));
    edIntranetFolder->setText(Q(form.intranetFolder));
    edZipFolder->setText(Q(form.zipFolder));
    edUnzipFolder->setText(Q(form.unzipFolder));
    (form.lastZipFolder ? rbLastZipFolder : rbZipFolder)->setChecked(true);
    (form.lastUnzipFolder ? rbLastUnzipFolder : rbUnzipFolder)->setChecked(true);
    cbProxy->setChecked(form.useProxy);
    edAddress->setEnabled(form.useProxy);
    edPort->setEnabled(form.useProxy);
    edAddress->setText(Q(form.proxyAddress));
    edPort->setText(Q(form.proxyPort));
    edProxyUsername->setText(Q(form.proxyUserName));
    edProxyPassword->setText(Q(form.proxyPassword));
    cmbUserAgent->setEditText(Q(form.userAgent));
    browsers_ = form.browsers;
    for (const std::string &program : browsers_)
        cmbBrowsers->addItem(Q(program));
    cmbBrowsers->setEditText(Q(form.browser));
    loading_ = false;
    ShowBrowserIcon();
}

TPreferencesForm TdlgOptions::Form() const
{
    TPreferencesForm form;
    form.maxURLHistory = S(edMaxURLHistory->text());
    form.maxFileHistory = S(edMaxFileHistory->text());
    form.zipLast = cbZipLast->isChecked();
    form.noAds = cbNoAds->isChecked();
    form.zipPropertiesFirst = cbZipPropertiesFirst->isChecked();
    form.beepOnCompletion = cbBeepOnCompletion->isChecked();
    form.tempFolder = S(edTempFolder->text());
    form.downloadsFolder = S(edDownloadsFolder->text());
    form.intranetFolder = S(edIntranetFolder->text());
    form.lastZipFolder = rbLastZipFolder->isChecked();
    form.lastUnzipFolder = rbLastUnzipFolder->isChecked();
    form.zipFolder = S(edZipFolder->text());
    form.unzipFolder = S(edUnzipFolder->text());
    form.useProxy = cbProxy->isChecked();
    form.proxyAddress = S(edAddress->text());
    form.proxyPort = S(edPort->text());
    form.proxyUserName = S(edProxyUsername->text());
    form.proxyPassword = S(edProxyPassword->text());
    form.userAgent = S(cmbUserAgent->currentText());
    form.browser = S(cmbBrowsers->currentText());
    form.browsers = browsers_;
    return form;
}

void TdlgOptions::ShowPage(TPage page) { PageControl1->setCurrentIndex(page); }

void TdlgOptions::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(0, this, &TdlgOptions::OfferDetectedProxy);
}

void TdlgOptions::OfferDetectedProxy()
{
    // Asked when the dialog shows and after its own choosers, never after
    // the question itself.
    if (offering_ || cbProxy->isChecked())
        return;
    const std::string proxy = DetectBrowserProxy();
    if (proxy.empty())
        return;
    ShowPage(kConnection);
    offering_ = true;
    const bool yes = Notifier().Confirm(ProxyQuestion(proxy));
    offering_ = false;
    if (!yes)
        return;
    std::string address, port;
    SplitDetectedProxy(proxy, address, port);
    edAddress->setText(Q(address));
    edPort->setText(Q(port));
    cbProxy->setChecked(true);
}

void TdlgOptions::ShowBrowserIcon()
{
    // The program's icon on light grey.
    QPixmap picture(32, 32);
    picture.fill(QColor(0xC0, 0xC0, 0xC0));
    const std::string icon = ProgramIcon(S(cmbBrowsers->currentText()));
    if (!icon.empty()) {
        QPainter painter(&picture);
        const QIcon themed = icon.front() == '/' ? QIcon(Q(icon)) : QIcon::fromTheme(Q(icon));
        themed.paint(&painter, QRect(0, 0, 32, 32));
    }
    Image1->setPixmap(picture);
}

void TdlgOptions::Apply() { ApplyPreferences(*TAVApp::Instance(), Form()); }

} // namespace arvelo
