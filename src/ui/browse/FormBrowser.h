#pragma once

#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QToolButton;
class QWebEngineView;

namespace arvelo {

// The built-in browser of the Home and Browse pages: a toolbar (Panel1)
// with Back, Forward, Stop, Refresh, Home and the addresses visited, over a
// web view made on the first show. Copied pages are untrusted: the view
// keeps nothing on disk and a page's script cannot read other local files.
class TFormBrowser : public QWidget {
    Q_OBJECT
public:
    // status shows the page's state on the status panel's line.
    TFormBrowser(std::function<void(const QString &)> status, QWidget *parent);

    // An address, or a local file or folder.
    void Navigate(const std::string &address);
    void SetHome(const std::string &address) { home_ = address; }
    // Null until the first show (and always without a display).
    QWebEngineView *View() const { return view_; }

Q_SIGNALS:
    void LoadFinished(bool ok);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void CreateView();
    void Remember(const QString &address);
    void UpdateCommands();

    std::function<void(const QString &)> status_;
    std::string home_, pending_;
    QWidget *Panel1;
    QToolButton *btnBrowserBack, *btnBrowserForward, *btnBrowserStop, *btnBrowserRefresh, *btnBrowserHome;
    QComboBox *cmbBrowserURL;
    QWebEngineView *view_ = nullptr;
    QLabel *noDisplay_ = nullptr;
};

} // namespace arvelo
