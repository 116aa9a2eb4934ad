#include "core/Desktop.h"

#include "core/FileUtils.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace arvelo {
namespace {

// The desktop's choices of programs, from stub entries and programs in the
// test's own XDG and PATH folders.
class Desktop : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("XDG_DATA_DIRS", Path("xdg-data-dirs").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", Path("xdg-config-dirs").c_str(), 1);
        ::setenv("PATH", (Path("bin") + ":" + savedPath_).c_str(), 1);
        ForceFolders(Path("bin"));
    }
    void TearDown() override
    {
        ::setenv("PATH", savedPath_.c_str(), 1);
        ::unsetenv("XDG_DATA_DIRS");
        ::unsetenv("XDG_CONFIG_DIRS");
        TestHome::TearDown();
    }

    std::string Xdg(const char *name) const { return std::getenv(name); }
    // A program that writes its arguments, one a line, to record.
    std::string Stub(const std::string &relative)
    {
        WriteFile(relative, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + Path("record") +
                                "\"\n");
        ::chmod(Path(relative).c_str(), 0755);
        return Path(relative);
    }
    void Entry(const std::string &id, const std::string &exec, const std::string &icon = "web-browser")
    {
        SaveFile(Xdg("XDG_DATA_HOME") + "/applications/" + id,
                 "[Desktop Entry]\nType=Application\nName=" + id + "\nIcon=" + icon + "\nExec=" + exec + "\n");
    }
    void Defaults(const std::string &lines)
    {
        SaveFile(Xdg("XDG_CONFIG_HOME") + "/mimeapps.list", "[Default Applications]\n" + lines);
    }
    static void SaveFile(const std::string &file, const std::string &bytes)
    {
        ForceFolders(ExtractFilePath(file));
        CreateOrReplaceFile(file, bytes);
    }
    std::string Recorded()
    {
        for (int i = 0; i < 500 && !FileExists(Path("record")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return FileExists(Path("record")) ? ReadFile("record") : std::string();
    }

private:
    std::string savedPath_;
};

TEST_F(Desktop, TheDefaultBrowserIsTheHttpHandlersProgramWithoutItsFieldCodes)
{
    const std::string browser = Stub("bin/with blank/browser");
    Entry("gone.desktop", "/no/such/program %u");
    Entry("stub.desktop", "\"" + browser + "\" --new-window %U", "stub-icon");
    Defaults("x-scheme-handler/http=gone.desktop;stub.desktop;\n");
    std::vector<std::string> parameters;
    EXPECT_EQ(DefaultBrowserProgram(&parameters), browser);
    EXPECT_EQ(parameters, (std::vector<std::string>{"--new-window"}));
    EXPECT_EQ(ProgramIcon(browser), "stub-icon");

    // An address with blanks, quotes and ";" arrives whole.
    const std::string address = "http://site.example/a b;\"c\".html";
    EXPECT_TRUE(OpenUrl(address));
    EXPECT_EQ(Recorded(), "--new-window\n" + address + "\n");
}

TEST_F(Desktop, WithoutAnHttpHandlerTheHtmlOneServesAndWithNeitherThereIsNone)
{
    EXPECT_EQ(DefaultBrowserProgram(), "");
    EXPECT_FALSE(OpenUrl("http://site.example/"));
    const std::string browser = Stub("bin/htmlviewer");
    Entry("viewer.desktop", "htmlviewer %f");
    Defaults("text/html=viewer.desktop\n");
    EXPECT_EQ(DefaultBrowserProgram(), browser);
}

TEST_F(Desktop, TheSecondBrowserIsAnotherOneOnThePath)
{
    const std::string firefox = Stub("bin/firefox");
    const std::string chromium = Stub("bin/chromium");
    EXPECT_EQ(SecondBrowserProgram(firefox), chromium);
    EXPECT_EQ(SecondBrowserProgram(chromium), firefox);
}

} // namespace
} // namespace arvelo
