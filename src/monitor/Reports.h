#pragma once

#include <functional>
#include <string>
#include <vector>

namespace arvelo {

class TAVTask;

// The address of the banner page at the top of the reports.
extern const char *const kReportBannerAddress;

// Text from a website made safe inside HTML text and attribute values.
std::string HtmlEscape(const std::string &text);
// The width and height of the first image of a GIF file; 0 and 0 for
// anything else.
std::pair<int, int> GifSize(const std::string &file);

// The HTML reports of a task, built from its counters and its download state
// file: the summary, the paged indexes of pages and images (written into the
// site's folder beside the copy, so that they link to the local files), the
// error report and the list of pages (written into the Temp folder). Every
// text that comes from a website is escaped.
class TTaskReport {
public:
    static constexpr int kRowsPerFile = 20;

    explicit TTaskReport(const TAVTask &task);

    // Reads the state file; false, with the failure shown, when there is none.
    bool Load();

    // The folder the copy lies in (the destination, or the Temp folder for
    // an archive), and the site's folder within it.
    std::string ReportRoot() const { return root_; }
    std::string SiteFolder() const { return site_; }
    std::string SummaryFile() const;
    std::string IndexFile(bool images, int number) const;
    std::string MoreFile(bool images) const;
    std::string ErrorFile() const;
    std::string PageListFile() const;

    // Each writes its report and answers its (first) file. Throws EFileError.
    std::string WriteSummary();
    std::string WriteIndex(bool images);
    std::string WriteErrors();
    std::string WritePageList();
    // Copies the skin's pictures into the site's "!images/" folder.
    void CopySkinImages();

    // The share of an index written so far, 0 to 100.
    std::function<void(int percent)> OnProgress;

private:
    struct TRow {
        std::string url, error, group, referrer, title, size;
        int state = 0, level = 0;
    };
    std::string Frame(const std::string &heading, bool popup) const;
    std::string NumberStrip(bool images, int files) const;
    std::string Navigation(bool images, int page, int files) const;
    std::string LocalFile(const std::string &url) const;

    const TAVTask &task_;
    std::string root_, site_, temp_;
    std::vector<TRow> rows_;
};

// What the report window does: the summary, then the page index, then the
// image index, with the label and share of each step; answers the summary.
std::string CreateReports(const TAVTask &task, const std::function<void(const std::string &label, int percent)> &progress);

} // namespace arvelo
