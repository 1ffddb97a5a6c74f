#ifndef QUILLO_THREAD_FILEFORMAT_H
#define QUILLO_THREAD_FILEFORMAT_H

// The stored-file format codes of the settings file's "FileFormat" key. The
// save worker reads them, so they live at its level; the scan plan names them
// too.
namespace fileformat {

enum FormatCode { FormatJpg = 0, FormatSinglePagePdf = 1 };

// Only 1 means the single-page PDF; every other code stores a JPG.
inline bool isPdfFormat(int code)
{
    return code == FormatSinglePagePdf;
}

} // namespace fileformat

#endif
