#include "pdf/hpdfoperation.h"

#include "fileio/atomicfile.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

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

constexpr HPDF_UINT32 kChunkBytes = 256 * 1024;

// The only places libharu may jump out of. Keep them free of anything with a
// destructor: longjmp skips destructors.
int addPage(HPDF_Doc doc, const unsigned char *src, int width, int height, HPDF_ColorSpace space)
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

    t_armedJump = outer;
    return 0;
}

// Renders the whole document into libharu's memory stream. libharu's own
// file output ignores the result of its final fclose, so a disk that fills
// on the trailer would go unnoticed; every byte goes through our writer instead.
int saveToStream(HPDF_Doc doc, HPDF_UINT32 *size)
{
    jmp_buf jump;
    jmp_buf *volatile outer = t_armedJump;
    if (setjmp(jump)) {
        t_armedJump = outer;
        return -12;
    }
    t_armedJump = &jump;
    HPDF_STATUS rc = HPDF_SaveToStream(doc);
    if (rc == HPDF_OK)
        rc = HPDF_ResetStream(doc);
    *size = rc == HPDF_OK ? HPDF_GetStreamSize(doc) : 0;
    t_armedJump = outer;
    return rc == HPDF_OK ? 0 : -12;
}

// One chunk of the rendered document; false at a read error. `got` may be
// short at the end of the stream.
bool readChunk(HPDF_Doc doc, HPDF_BYTE *buf, HPDF_UINT32 *got)
{
    jmp_buf jump;
    jmp_buf *volatile outer = t_armedJump;
    if (setjmp(jump)) {
        t_armedJump = outer;
        return false;
    }
    t_armedJump = &jump;
    const HPDF_STATUS rc = HPDF_ReadFromStream(doc, buf, got);
    t_armedJump = outer;
    return rc == HPDF_OK || rc == HPDF_STREAM_EOF;
}

} // namespace

hpdfoperation::hpdfoperation() : pdf(nullptr), m_ops(&fileio::FileOps::system()) {}

hpdfoperation::hpdfoperation(fileio::FileOps &ops) : pdf(nullptr), m_ops(&ops) {}

hpdfoperation::~hpdfoperation()
{
    if (pdf)
        HPDF_Free(pdf);
}

int hpdfoperation::failed(const std::string &why, int err)
{
    m_error = why;
    m_errno = err;
    printf("ERROR: %s\n", why.c_str());
    fflush(stdout);
    if (pdf) {
        HPDF_Free(pdf);
        pdf = nullptr;
    }
    m_refused = true;
    return -12;
}

int hpdfoperation::rgb2pdf(unsigned char *srcData, int srcDataWidth, int srcDataHeight, const char *destFile,
                           int colorType, int nPage)
{
    (void)nPage;
    if (!srcData || srcDataWidth < 0 || srcDataHeight < 0 || !destFile)
        return -4;
    if (m_refused) {
        printf("ERROR: page refused, an earlier page of %s could not be written\n", destFile);
        fflush(stdout);
        return -12;
    }

    if (!pdf) {
        pdf = HPDF_New(error_handler_mz, nullptr);
        if (!pdf) {
            printf("ERROR: cannot create pdf object.\n");
            fflush(stdout);
            m_error = "cannot create pdf object";
            m_errno = 0;
            return -6;
        }
    }

    const HPDF_ColorSpace space = colorType == 0 ? HPDF_CS_DEVICE_RGB : HPDF_CS_DEVICE_GRAY;
    if (addPage(pdf, srcData, srcDataWidth, srcDataHeight, space) != 0)
        return failed(std::string("cannot lay out a page of ") + destFile, 0);
    HPDF_UINT32 size = 0;
    if (saveToStream(pdf, &size) != 0)
        return failed(std::string("cannot render ") + destFile, 0);

    // The whole document replaces the file in one rename, or nothing does.
    const bool firstOfNewFile = m_newFile && m_writtenPath.empty();
    fileio::AtomicFile file(m_newFile && !firstOfNewFile ? m_writtenPath : std::string(destFile), *m_ops);
    if (!file.open())
        return failed(file.error(), file.errorNumber());
    std::vector<HPDF_BYTE> chunk(kChunkBytes);
    HPDF_UINT32 done = 0;
    while (done < size) {
        // Never ask past the end: libharu may treat end of stream as an error.
        HPDF_UINT32 got = size - done < kChunkBytes ? size - done : kChunkBytes;
        if (!readChunk(pdf, chunk.data(), &got) || got == 0)
            return failed(std::string("cannot read the rendered document of ") + destFile, 0);
        if (!file.write(chunk.data(), got))
            return failed(file.error(), file.errorNumber());
        done += got;
    }
    if (!(firstOfNewFile ? file.commitNew() : file.commit()))
        return failed(file.error(), file.errorNumber());
    m_writtenPath = file.finalPath();
    m_error.clear();
    m_errno = 0;
    return 0;
}
