#include "sdk/watermark/fontlocator.h"

#include <sys/stat.h>
#include <unistd.h>

namespace orvix {

const std::vector<std::string> &knownFontFiles()
{
    static const std::vector<std::string> files = {
        "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
        "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
        "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc",
        "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf",
        "/usr/share/fonts/truetype/arphic/uming.ttc",
        "/usr/share/fonts/truetype/arphic/ukai.ttc",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    };
    return files;
}

std::vector<std::string> installedFonts(const std::vector<std::string> &candidates)
{
    std::vector<std::string> found;
    for (const std::string &path : candidates) {
        struct stat info;
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), R_OK) == 0)
            found.push_back(path);
    }
    return found;
}

} // namespace orvix
