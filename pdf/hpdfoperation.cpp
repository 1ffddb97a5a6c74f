#include "hpdfoperation.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

// libharu reports errors through a callback that must not return into the
// library. The jump target is per thread and only set while a call is inside
// its armed region, so an error in the save worker's writer can never land in
// a merge running on the GUI thread, and an error outside an armed region
// (document creation) just lets libharu return its error code.
static thread_local jmp_buf *t_armedJump = nullptr;

extern "C" void error_handler_mz(HPDF_STATUS error_no, HPDF_STATUS detail_no, void *user_data)
{
    (void)user_data;
    printf("ERROR: error_no=%04X, detail_no=%u\n", (unsigned int)error_no, (unsigned int)detail_no);
    fflush(stdout);
    if (t_armedJump)
        longjmp(*t_armedJump, 1);
}

namespace {

// The only place libharu may jump out of. Keep it free of anything with a
// destructor: longjmp skips destructors.
int addPageAndSave(HPDF_Doc doc, const unsigned char *src, int width, int height, HPDF_ColorSpace space,
                   const char *savePath)
{
    jmp_buf jump;
    jmp_buf *volatile outer = t_armedJump;
    if (setjmp(jump)) {
        t_armedJump = outer;
        return -12;
    }
    t_armedJump = &jump;

    HPDF_Image image = HPDF_LoadRawImageFromMem(doc, src, (HPDF_UINT)width, (HPDF_UINT)height, space, 8);
    HPDF_Page page = HPDF_AddPage(doc);
    HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_LANDSCAPE);

    // The open action keeps the A4 landscape top it was made with, read
    // before the page takes the picture's size.
    HPDF_Destination dst = HPDF_Page_CreateDestination(page);
    HPDF_Destination_SetXYZ(dst, 0, HPDF_Page_GetHeight(page), 1);
    HPDF_SetOpenAction(doc, dst);

    HPDF_Page_SetHeight(page, (HPDF_REAL)HPDF_Image_GetHeight(image));
    HPDF_Page_SetWidth(page, (HPDF_REAL)HPDF_Image_GetWidth(image));
    HPDF_Page_DrawImage(page, image, 0, 0, (HPDF_REAL)HPDF_Image_GetWidth(image),
                        (HPDF_REAL)HPDF_Image_GetHeight(image));

    if (savePath)
        HPDF_SaveToFile(doc, savePath);

    t_armedJump = outer;
    return 0;
}

// Creates an empty, unique file beside `dest` ("dest.tmp-XXXXXX") and writes
// its name into `out`. Mode 0666 so the umask gives the finished file the
// usual permissions.
bool makeTempBeside(const char *dest, char *out, size_t outSize)
{
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long seed = (unsigned long)getpid() ^ (unsigned long)time(nullptr) ^ (unsigned long)(size_t)out;
    for (int attempt = 0; attempt < 64; ++attempt) {
        char suffix[7];
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005UL + 1442695040888963407UL;
            suffix[i] = kAlphabet[(seed >> 33) % (sizeof(kAlphabet) - 1)];
        }
        suffix[6] = '\0';
        int n = snprintf(out, outSize, "%s.tmp-%s", dest, suffix);
        if (n < 0 || (size_t)n >= outSize)
            return false;
        int fd = open(out, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Makes the written temp file durable before it replaces the old one.
bool syncFile(const char *path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

} // namespace

hpdfoperation::hpdfoperation() : pdf(nullptr) {}

hpdfoperation::~hpdfoperation()
{
    if (pdf)
        HPDF_Free(pdf);
}

int hpdfoperation::rgb2pdf(unsigned char *srcData, int srcDataWidth, int srcDataHeight, const char *destFile,
                           int colorType, int nPage)
{
    (void)nPage;
    if (!srcData || srcDataWidth < 0 || srcDataHeight < 0 || !destFile)
        return -4;

    if (!pdf) {
        pdf = HPDF_New(error_handler_mz, nullptr);
        if (!pdf) {
            printf("ERROR: cannot create pdf object.\n");
            fflush(stdout);
            return -6;
        }
    }

    // Never write over the file an earlier call left: the whole document goes
    // to a temporary file beside it, which then replaces it in one rename.
    char tempPath[4096];
    if (!makeTempBeside(destFile, tempPath, sizeof tempPath)) {
        printf("ERROR: cannot create a temporary file beside %s: %s\n", destFile, strerror(errno));
        fflush(stdout);
        HPDF_Free(pdf);
        pdf = nullptr;
        return -12;
    }

    const HPDF_ColorSpace space = colorType == 0 ? HPDF_CS_DEVICE_RGB : HPDF_CS_DEVICE_GRAY;
    int result = addPageAndSave(pdf, srcData, srcDataWidth, srcDataHeight, space, tempPath);
    if (result == 0 && !syncFile(tempPath)) {
        printf("ERROR: cannot flush %s: %s\n", tempPath, strerror(errno));
        result = -12;
    }
    if (result == 0 && rename(tempPath, destFile) != 0) {
        printf("ERROR: cannot move %s to %s: %s\n", tempPath, destFile, strerror(errno));
        result = -12;
    }
    if (result != 0) {
        fflush(stdout);
        unlink(tempPath);
        HPDF_Free(pdf);
        pdf = nullptr;
    }
    return result;
}
