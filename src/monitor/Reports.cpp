#include "monitor/Reports.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TextUtils.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/ItemList.h"
#include "model/Task.h"
#include "shell/Skin.h"

#include <fstream>

namespace arvelo {

const char *const kReportBannerAddress = "https://www.arvelo.net/banner/report.html";

namespace {

std::string Number(int64_t n) { return std::to_string(n); }

std::string Link(const std::string &href, const std::string &text, const std::string &extra = {})
{
    return "<a href=\"" + HtmlEscape(href) + "\"" + extra + ">" + HtmlEscape(text) + "</a>";
}

// The index pages' rows alternate their colours, starting with the first.
const char *RowColour(int row, const char *odd, const char *even) { return row % 2 == 1 ? odd : even; }

std::string BannerRow()
{
    return "<table width=\"95%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>"
           "<iframe src=\"" + std::string(kReportBannerAddress) +
           "\" width=\"100%\" height=\"60\" marginwidth=\"0\" marginheight=\"0\" hspace=\"0\" vspace=\"0\" "
           "frameborder=\"0\" scrolling=\"no\"></iframe></td></tr></table>\r\n";
}

std::string BannerLayer()
{
    return "<layer src=\"" + std::string(kReportBannerAddress) + "\" visibility=\"hide\"></layer>\r\n";
}

} // namespace

std::string HtmlEscape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::pair<int, int> GifSize(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes(64 * 1024, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < 13 || bytes.compare(0, 3, "GIF") != 0)
        return {0, 0};
    size_t pos = 13;
    if (at(10) & 0x80)
        pos += 3u << ((at(10) & 7) + 1);
    // Extensions (such as the graphic control block of GIF89a) may come
    // before the first image's descriptor.
    while (pos < bytes.size() && at(pos) == 0x21) {
        pos += 2;
        while (pos < bytes.size() && at(pos) != 0)
            pos += at(pos) + 1u;
        ++pos;
    }
    if (pos + 9 > bytes.size() || at(pos) != 0x2C)
        return {0, 0};
    return {at(pos + 5) | (at(pos + 6) << 8), at(pos + 7) | (at(pos + 8) << 8)};
}

TTaskReport::TTaskReport(const TAVTask &task) : task_(task)
{
    TAVApp *app = TAVApp::Instance();
    temp_ = app ? app->TempFolder() : std::string();
    root_ = task.intranetMode ? IncludeTrailingSlash(task.destination) : temp_;
    std::string start = LocalFileName(root_, URLDirectory(task.url), task.url).substr(root_.size());
    site_ = root_ + start.substr(0, start.find('/')) + "/";
}

std::string TTaskReport::SummaryFile() const { return site_ + "!" + task_.taskName + "_summary.htm"; }

std::string TTaskReport::IndexFile(bool images, int number) const
{
    return site_ + "!" + task_.taskName + (images ? "_images_" : "_pages_") + Number(number) + ".htm";
}

std::string TTaskReport::MoreFile(bool images) const
{
    return site_ + "!" + task_.taskName + (images ? "_images_more.htm" : "_pages_more.htm");
}

std::string TTaskReport::ErrorFile() const { return temp_ + task_.taskName + "_errors.htm"; }

std::string TTaskReport::PageListFile() const { return temp_ + task_.taskName + "_Pages.htm"; }

std::string TTaskReport::LocalFile(const std::string &url) const
{
    return EncodeLocalLink(LocalFileName(root_, URLDirectory(url), url));
}

bool TTaskReport::Load()
{
    bool ok = false;
    std::string bytes = ReadFileBytes(task_.StateFile(), &ok);
    if (!ok) {
        Notifier().Error("Cannot open file \"" + task_.StateFile() + "\"");
        return false;
    }
    rows_.clear();
    ForEachStatePair(bytes, [&](std::string &address, std::string &record) {
        auto field = [&](int n) { return FieldOf(record, kFieldSeparator, n); };
        TRow row;
        row.url = std::move(address);
        row.state = ToIntDef(field(0), 0);
        row.error = field(1);
        row.group = field(2);
        row.level = ToIntDef(field(4), 0);
        row.referrer = field(5);
        row.title = field(8);
        row.size = field(9);
        rows_.push_back(std::move(row));
    });
    return true;
}

std::string TTaskReport::Frame(const std::string &heading, bool popup) const
{
    std::string html = "<html>\r\n<head>\r\n<title></title>\r\n<style>\r\n"
                       "A:link {text-decoration:none; color:#7100FF;}\r\n"
                       "A:visited {text-decoration:none; color:#7100FF;}\r\n</style>\r\n";
    if (popup)
        html += "<script language=\"JavaScript\">\r\nvar popupwin = null;\r\nfunction popup(loc) {\r\n"
                "  if (popupwin == null || popupwin.closed)\r\n"
                "    popupwin = window.open(loc, \"popupwin\", \"width=300,height=400,status=yes,resizable=yes,"
                "scrollbars=yes,menubar=no,location=no,toolbar=no\");\r\n"
                "  else\r\n    popupwin.location = loc;\r\n  popupwin.focus();\r\n}\r\n</script>\r\n";
    html += "</head>\r\n<body topmargin=\"0\" leftmargin=\"0\" background=\"!images/backgrnd.jpg\" "
            "bgproperties=\"fixed\">\r\n" +
            BannerRow();
    html += "<font face=\"Arial\" size=\"4\" color=\"#FF8000\"><b>Arvelo<br> - " + heading + "</b></font><br>\r\n";
    std::string title = task_.startPageTitle.empty() ? task_.url : task_.startPageTitle;
    html += "<font face=\"Arial\" size=\"2\"><b>" + Link(LocalFile(task_.url), title) + "</b></font><br>\r\n";
    html += "<img src=\"!images/www.gif\" width=\"19\" height=\"19\"> <font face=\"Arial\" size=\"1\">" +
            Link(task_.url, task_.url) + "</font><br>\r\n";
    auto line = [](const std::string &label, const std::string &value) {
        return "<img src=\"!images/diamond.gif\" width=\"21\" height=\"13\"><font face=\"Arial\" size=\"2\">" + label +
               "<b>" + HtmlEscape(value) + "</b></font><br>\r\n";
    };
    html += line("Last Run: ", DateTimeTextOrEmpty(task_.lastRun));
    html += line("Size: ", Number(task_.totalBytes.load() / 1024) + " Kb");
    html += line("Total Files: ", Number(int64_t(task_.totalPages.load()) + task_.totalResources.load()));
    return html;
}

std::string TTaskReport::WriteSummary()
{
    int64_t pages = task_.pagesSaved - task_.pageErrors, media = task_.resourcesSaved - task_.resourceErrors;
    std::string html = Frame("Task Summary", false);
    html += "<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\"><tr>\r\n"
            "<td rowspan=\"2\" bgcolor=\"#336699\" align=\"center\" width=\"20\"><font face=\"Arial\" size=\"3\" "
            "color=\"#FFFFFF\"><b>R<br>E<br>S<br>U<br>L<br>T<br>S</b></font></td>\r\n<td>"
            "<table width=\"450\" border=\"1\" cellspacing=\"0\" cellpadding=\"4\" bordercolor=\"#DEE9F3\">\r\n"
            "<tr><td bgcolor=\"#B1CBE4\"></td>"
            "<td bgcolor=\"#B1CBE4\"><font face=\"Arial\"><b>Saved</b></font></td>"
            "<td bgcolor=\"#B1CBE4\"><font face=\"Arial\"><b>Errors</b></font></td>"
            "<td bgcolor=\"#B1CBE4\"><font face=\"Arial\"><b>Total</b></font></td></tr>\r\n";
    auto row = [&](const char *icon, const char *label, int64_t saved, const std::string &index, int64_t errors,
                   int64_t total) {
        return "<tr><td bgcolor=\"#DEE9F3\"><img src=\"!images/" + std::string(icon) + "\"> <font face=\"Arial\">" +
               label + "</font></td><td>" + Link(ExtractFileName(index), Number(saved)) + "</td><td>" +
               Number(errors) + "</td><td>" + Number(total) + "</td></tr>\r\n";
    };
    html += row("html.gif", "Pages:", pages, IndexFile(false, 1), task_.pageErrors, task_.totalPages);
    html += row("images.gif", "Media Files:", media, IndexFile(true, 1), task_.resourceErrors, task_.totalResources);
    html += "</table></td></tr></table>\r\n" + BannerLayer() + "</body>\r\n</html>\r\n";
    ForceFolders(site_);
    ReplaceFile(SummaryFile(), html);
    return SummaryFile();
}

std::string TTaskReport::NumberStrip(bool images, int files) const
{
    std::string strip;
    for (int k = 1; k <= std::min(files, 10); ++k)
        strip += Link(ExtractFileName(IndexFile(images, k)), Number(k)) + "&nbsp;";
    if (files > 10)
        strip += "<a href=\"javascript:popup('" + HtmlEscape(MoreFile(images)) + "')\">more...</a>";
    return strip;
}

std::string TTaskReport::Navigation(bool images, int page, int files) const
{
    std::string nav = "<center><font face=\"Arial\" size=\"2\">" + Link(ExtractFileName(SummaryFile()), "Summary");
    if (page > 1)
        nav += "&nbsp;&nbsp;" + Link(ExtractFileName(IndexFile(images, page - 1)), "Previous");
    nav += "&nbsp;&nbsp;" + NumberStrip(images, files);
    if (page < files)
        nav += "&nbsp;&nbsp;" + Link(ExtractFileName(IndexFile(images, page + 1)), "Next");
    return nav + "</font></center>\r\n";
}

std::string TTaskReport::WriteIndex(bool images)
{
    int64_t downloaded = images ? task_.resourcesSaved - task_.resourceErrors : task_.pagesSaved - task_.pageErrors;
    int files = static_cast<int>((std::max<int64_t>(downloaded, 0) + kRowsPerFile - 1) / kRowsPerFile);
    const std::string group = images ? "Images" : "HTML";
    ForceFolders(site_);
    size_t next = 0;
    for (int page = 1; page <= files; ++page) {
        if (OnProgress)
            OnProgress(static_cast<int>(page * 100.0 / files + 0.5));
        std::string html = Frame(images ? "Image Index" : "Page Index", true) + Navigation(images, page, files);
        html += "<table width=\"90%\" cellspacing=\"4\" cellpadding=\"8\" bgcolor=\"#C5D8EB\">\r\n";
        int row = 0;
        for (; next < rows_.size() && row < kRowsPerFile; ++next) {
            const TRow &item = rows_[next];
            if (item.group != group || item.state <= 4)
                continue;
            ++row;
            std::string local = LocalFile(item.url);
            std::string text = !item.title.empty() ? item.title
                               : images          ? ExtractFileName(LocalFileName(root_, URLDirectory(item.url), item.url))
                                                 : item.url;
            html += "<tr><td bgcolor=\"" + std::string(RowColour(row, "#C6D9EC", "#F1F4F8")) + "\">";
            if (images)
                html += "<img src=\"" + HtmlEscape(local) + "\"><br><br>";
            html += "<font face=\"Arial\" size=\"2\">" + Number((page - 1) * kRowsPerFile + row) + "&nbsp;<b>" +
                    Link(local, text) + "</b></font><br>\r\n<font face=\"Arial\" size=\"1\">URL: " +
                    Link(item.url, item.url) + "<br>Referrer: " + Link(item.referrer, item.referrer) + "<br>";
            if (images) {
                auto [width, height] = GifSize(LocalFileName(root_, URLDirectory(item.url), item.url));
                html += "Size: " + HtmlEscape(item.size) + "<br>W: " + Number(width) + ", H: " + Number(height);
            } else {
                html += "Level: " + Number(item.level);
            }
            html += "</font></td></tr>\r\n";
        }
        html += "</table>\r\n" + Navigation(images, page, files) + BannerLayer() + "</body>\r\n</html>\r\n";
        ReplaceFile(IndexFile(images, page), html);
    }
    if (files > 10) {
        std::string html = "<html>\r\n<head>\r\n<title></title>\r\n</head>\r\n<body>\r\n<center>"
                           "<table width=\"250\">\r\n<tr>";
        for (int k = 1; k <= files; ++k) {
            html += "<td width=\"10%\" align=\"center\" bgcolor=\"#C9DBED\">" +
                    Link(ExtractFileName(IndexFile(images, k)), Number(k), " target=\"_blank\"") + "</td>";
            if (k % 10 == 0 && k < files)
                html += "</tr>\r\n<tr>";
        }
        html += "</tr>\r\n</table></center>\r\n</body>\r\n</html>\r\n";
        ReplaceFile(MoreFile(images), html);
    }
    return files > 0 ? IndexFile(images, 1) : std::string();
}

std::string TTaskReport::WriteErrors()
{
    std::string html = "<font face=\"Arial\" size=\"5\"><strong>Arvelo Error Report</strong></font><br>\r\n"
                       "<font face=\"Arial\" size=\"2\"><strong>Task: " + HtmlEscape(task_.taskName) + " -  " +
                       HtmlEscape(task_.startPageTitle) + "</strong></font><br>\r\n"
                       "<table cellpadding=\"4\" cellspacing=\"4\">\r\n<tr>";
    for (const char *header : {"URL", "Error", "Referrer"})
        html += "<td bgcolor=\"#004080\"><font face=\"Arial\" color=\"#FFFFFF\"><strong>" + std::string(header) +
                "</strong></font></td>";
    html += "</tr>\r\n";
    int row = 0;
    for (const TRow &item : rows_) {
        if (item.state != 3)
            continue;
        std::string colour = RowColour(++row, "#F5F5F5", "#E9E9E9");
        html += "<tr bgcolor=\"" + colour + "\"><td><font face=\"Arial\" size=\"2\">" + Link(item.url, item.url) +
                "</font></td><td><font face=\"Arial\" size=\"2\">" + HtmlEscape(item.error) +
                "</font></td><td><font face=\"Arial\" size=\"2\">" + Link(item.referrer, item.referrer) +
                "</font></td></tr>\r\n";
    }
    html += "</table>\r\n";
    ForceFolders(temp_);
    ReplaceFile(ErrorFile(), html);
    return ErrorFile();
}

std::string TTaskReport::WritePageList()
{
    std::string html = "<table>\r\n";
    int row = 0;
    for (const TRow &item : rows_) {
        if (item.state <= 4 || item.group != "HTML")
            continue;
        std::string colour = RowColour(++row, "#F5F5F5", "#E9E9E9");
        html += "<tr><td bgcolor=\"" + colour + "\"><font face=\"Arial\" size=\"2\">" +
                Link(item.url, item.title.empty() ? item.url : item.title) + "</font></td></tr>\r\n";
    }
    html += "</table>\r\n";
    ForceFolders(temp_);
    ReplaceFile(PageListFile(), html);
    return PageListFile();
}

void TTaskReport::CopySkinImages()
{
    if (!TAVApp::Instance())
        return;
    // The current skin's, else the Default skin's.
    const TSkin skin = TSkin::Current();
    for (const char *name : {"html.gif", "images.gif", "www.gif", "diamond.gif", "backgrnd.jpg"})
        for (const std::string &file : skin.PictureFiles(name))
            if (CopyFileForce(file, site_ + "!images/" + name))
                break;
}

std::string CreateReports(const TAVTask &task, const std::function<void(const std::string &label, int percent)> &progress)
{
    TTaskReport report(task);
    if (!report.Load())
        return {};
    auto step = [&](const char *label) {
        report.OnProgress = [&, label](int percent) {
            if (progress)
                progress(label, percent);
        };
        if (progress)
            progress(label, 0);
    };
    report.CopySkinImages();
    step("Creating Task Summary");
    std::string summary = report.WriteSummary();
    step("Creating Page Index");
    report.WriteIndex(false);
    step("Creating Image Index");
    report.WriteIndex(true);
    return summary;
}

} // namespace arvelo
