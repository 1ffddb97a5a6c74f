#include "pdf/streamedpdf.h"

#include <cstdio>

namespace {

// Objects 1 and 2 are written last, when every page is known.
constexpr int kCatalog = 1;
constexpr int kPageTree = 2;
constexpr int kFirstFreeObject = 3;
// The open action's top, the height of an A4 page in landscape as the
// libharu writer takes it, so both writers open their files alike.
const char *const kOpenActionTop = "595.276";

std::string ref(int object)
{
    return std::to_string(object) + " 0 R";
}

std::string colourSpace(const JpegHeader &header)
{
    if (header.components == 1)
        return "/DeviceGray";
    if (header.components == 4)
        return "/DeviceCMYK";
    return "/DeviceRGB";
}

} // namespace

StreamedPdf::StreamedPdf(const std::string &path, fileio::FileOps &ops) : m_file(path, ops)
{
    m_objectOffsets.resize(kFirstFreeObject - 1, 0);
}

bool StreamedPdf::fail(const std::string &why, int err)
{
    if (!m_failed) {
        m_failed = true;
        m_error = why;
        m_errno = err;
        printf("ERROR: %s\n", why.c_str());
        fflush(stdout);
    }
    return false;
}

bool StreamedPdf::putBytes(const void *data, size_t size)
{
    if (m_failed)
        return false;
    if (!m_file.write(data, size))
        return fail(m_file.error(), m_file.errorNumber());
    m_offset += size;
    return true;
}

bool StreamedPdf::put(const std::string &text)
{
    return putBytes(text.data(), text.size());
}

int StreamedPdf::beginObject()
{
    m_objectOffsets.push_back(m_offset);
    const int object = int(m_objectOffsets.size());
    put(std::to_string(object) + " 0 obj\n");
    return object;
}

bool StreamedPdf::open()
{
    if (!m_file.open())
        return fail(m_file.error(), m_file.errorNumber());
    m_open = true;
    // The second line's high bytes mark the file as binary for transfer tools.
    return put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

bool StreamedPdf::addJpegPage(const unsigned char *jpeg, size_t size, const JpegHeader &header,
                              const PageText *text)
{
    if (!header.embeddable)
        return fail("page is not an embeddable JPEG: " + header.why, 0);
    std::string dictionary = "/ColorSpace " + colourSpace(header) + " /BitsPerComponent 8 /Filter /DCTDecode";
    // Adobe's CMYK JPEGs hold every ink inverted; readers undo it by this array.
    if (header.components == 4 && header.adobe)
        dictionary += " /Decode [1 0 1 0 1 0 1 0]";
    return addPage(dictionary, jpeg, size, header.width, header.height, text);
}

bool StreamedPdf::addRgbPage(const unsigned char *rgb, int width, int height, const PageText *text)
{
    if (!rgb || width <= 0 || height <= 0)
        return fail("page without pixels", 0);
    const size_t size = size_t(width) * size_t(height) * 3;
    return addPage("/ColorSpace /DeviceRGB /BitsPerComponent 8", rgb, size, width, height, text);
}

void StreamedPdf::writeFont()
{
    const int fontFile = beginObject();
    put(TextLayer::fontFileObject() + "endobj\n");
    const int descriptor = beginObject();
    put(TextLayer::fontDescriptor(fontFile) + "endobj\n");
    const int cidFont = beginObject();
    put(TextLayer::cidFont(descriptor) + "endobj\n");
    m_objectOffsets.push_back(0);
    m_toUnicode = int(m_objectOffsets.size());
    m_font = beginObject();
    put(TextLayer::type0Font(cidFont, m_toUnicode) + "endobj\n");
}

bool StreamedPdf::addPage(const std::string &imageDictionary, const unsigned char *pixels, size_t size, int width,
                          int height, const PageText *text)
{
    if (!m_open || m_failed)
        return fail("document not open", 0);
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);

    const int image = beginObject();
    put("<< /Type /XObject /Subtype /Image /Width " + w + " /Height " + h + " " + imageDictionary +
        " /Length " + std::to_string(size) + " >>\nstream\n");
    putBytes(pixels, size);
    put("\nendstream\nendobj\n");

    const std::string words = text ? m_textLayer.pageOperators(*text, width, height) : std::string();
    if (!words.empty() && m_font == 0)
        writeFont();
    const std::string drawing = "q\n" + w + " 0 0 " + h + " 0 0 cm\n/Im1 Do\nQ\n" + words;
    const int contents = beginObject();
    put("<< /Length " + std::to_string(drawing.size()) + " >>\nstream\n" + drawing + "endstream\nendobj\n");

    // A page without words keeps the resources it always had.
    const std::string procSet = words.empty() ? "/PDF /ImageB /ImageC" : "/PDF /Text /ImageB /ImageC";
    const std::string fonts = words.empty() ? std::string()
                                            : " /Font << " + std::string(TextLayer::kFontResource) + " " +
                                                  ref(m_font) + " >>";
    const int page = beginObject();
    put("<< /Type /Page /Parent " + ref(kPageTree) + " /MediaBox [0 0 " + w + " " + h + "] /Resources << /ProcSet [" +
        procSet + "] /XObject << /Im1 " + ref(image) + " >>" + fonts + " >> /Contents " + ref(contents) +
        " >>\nendobj\n");
    if (m_failed)
        return false;
    m_pageObjects.push_back(page);
    return true;
}

bool StreamedPdf::finish()
{
    return finishWith(&fileio::AtomicFile::commitNew);
}

bool StreamedPdf::finishAsTemporary()
{
    return finishWith(&fileio::AtomicFile::keepTemporary);
}

bool StreamedPdf::finishWith(bool (fileio::AtomicFile::*close)())
{
    if (!writeTrailer())
        return false;
    if (!(m_file.*close)())
        return fail(m_file.error(), m_file.errorNumber());
    return true;
}

bool StreamedPdf::writeTrailer()
{
    if (!m_open || m_failed)
        return fail("document not open", 0);
    if (m_pageObjects.empty())
        return fail("document without pages", 0);

    if (m_toUnicode != 0) {
        m_objectOffsets[size_t(m_toUnicode) - 1] = m_offset;
        put(std::to_string(m_toUnicode) + " 0 obj\n" + m_textLayer.toUnicodeObject() + "endobj\n");
    }

    m_objectOffsets[kPageTree - 1] = m_offset;
    std::string kids;
    for (const int page : m_pageObjects)
        kids += ref(page) + " ";
    put(std::to_string(kPageTree) + " 0 obj\n<< /Type /Pages /Kids [" + kids + "] /Count " +
        std::to_string(m_pageObjects.size()) + " >>\nendobj\n");

    // Opens on the newest page, as the libharu writer's documents do.
    m_objectOffsets[kCatalog - 1] = m_offset;
    put(std::to_string(kCatalog) + " 0 obj\n<< /Type /Catalog /Pages " + ref(kPageTree) + " /OpenAction [" +
        ref(m_pageObjects.back()) + " /XYZ 0 " + kOpenActionTop + " 1] >>\nendobj\n");

    const size_t xref = m_offset;
    put("xref\n0 " + std::to_string(m_objectOffsets.size() + 1) + "\n0000000000 65535 f \n");
    char entry[32];
    for (const size_t offset : m_objectOffsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        put(entry);
    }
    put("trailer\n<< /Size " + std::to_string(m_objectOffsets.size() + 1) + " /Root " + ref(kCatalog) +
        " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
    return !m_failed;
}
