#pragma once

#include <string>
#include <vector>

namespace arvelo {

inline constexpr const char *kDefaultSkin = "Default";

// The fixed picture names a skin folder may hold.
namespace skin {
inline constexpr const char *kAnimation = "avanim.gif";
inline constexpr const char *kBanner = "screensbar.gif";
inline constexpr const char *kNew = "new.bmp";
inline constexpr const char *kOpen = "open.bmp";
inline constexpr const char *kDownloads = "dwnloads.bmp";
inline constexpr const char *kArveloMode = "avmode.bmp";
inline constexpr const char *kIntranetMode = "pimode.bmp";
inline constexpr const char *kAddToZip = "addtocur.bmp";
inline constexpr const char *kHelp = "help.bmp";
inline constexpr const char *kGo = "go.bmp";
inline constexpr const char *kRun = "run.bmp";
inline constexpr const char *kStop = "stop.bmp";
} // namespace skin

// A skin: a folder of pictures under one of the skins folders (the user's
// first, then those shipped with the program). A picture the skin lacks,
// or cannot give, comes from the Default skin; a name that names no
// folder, or would leave the skins folder, is the Default skin.
class TSkin {
public:
    TSkin(std::vector<std::string> skinsFolders, const std::string &name);

    // The skin of the "Skin" preference.
    static TSkin Current();
    static bool ValidName(const std::string &name);

    const std::string &Name() const { return name_; }
    // The files that may hold a picture, best first. The caller takes the
    // first one it can read, so an unreadable file falls back too.
    std::vector<std::string> PictureFiles(const std::string &picture) const;

private:
    std::vector<std::string> folders_;
    std::string name_;
};

// The skin folders under the skins folders, sorted, each name once.
std::vector<std::string> SkinNames(const std::vector<std::string> &skinsFolders);
// The user's skins folder, then the shipped one.
std::vector<std::string> SkinsFolders();

} // namespace arvelo
