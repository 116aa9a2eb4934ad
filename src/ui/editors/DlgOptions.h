#pragma once

#include "shell/Preferences.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace arvelo {

class TRecentList;

// "Arvelo - Preferences": every preference on five pages, stored at OK.
class TdlgOptions : public QDialog {
    Q_OBJECT
public:
    enum TPage { kGeneral, kZipFolders, kConnection, kIntranet, kBrowser };
    // The two histories the Clear buttons empty (at once, Cancel or not).
    TdlgOptions(TRecentList &urlHistory, TRecentList &fileHistory, QWidget *parent);

    void ShowPage(TPage page);
    TPreferencesForm Form() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildGeneral();
    QWidget *BuildZipFolders();
    QWidget *BuildConnection();
    QWidget *BuildIntranet();
    QWidget *BuildBrowser();
    QPushButton *FolderButton(QLineEdit *field, QWidget *parent);
    void Fill(const TPreferencesForm &form);
    // Offers the desktop's proxy while the dialog's own proxy is off.
    void OfferDetectedProxy();
    void ShowBrowserIcon();
    void Apply();

    TRecentList &urlHistory_, &fileHistory_;
    bool loading_ = false, offering_ = false;
    StringList browsers_;
    QTabWidget *PageControl1;
    QLineEdit *edMaxURLHistory, *edMaxFileHistory, *edTempFolder, *edDownloadsFolder, *edZipFolder, *edUnzipFolder,
        *edAddress, *edPort, *edProxyUsername, *edProxyPassword, *edIntranetFolder;
    QPushButton *btnURLHistoryClear, *btnFileHistoryClear;
    QCheckBox *cbZipLast, *cbNoAds, *cbZipPropertiesFirst, *cbBeepOnCompletion, *cbProxy;
    QRadioButton *rbLastZipFolder, *rbZipFolder, *rbLastUnzipFolder, *rbUnzipFolder;
    QComboBox *cmbUserAgent, *cmbBrowsers;
    QLabel *Image1;
    QPushButton *TransparentButton2, *TransparentButton3, *TransparentButton4;
};

} // namespace arvelo
