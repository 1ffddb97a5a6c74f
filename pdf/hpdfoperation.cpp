#include "hpdfoperation.h"

hpdfoperation::hpdfoperation() : pdf(nullptr) {}

hpdfoperation::~hpdfoperation()
{
    if (pdf)
        HPDF_Free(pdf);
}

int hpdfoperation::rgb2pdf(unsigned char *, int, int, const char *, int, int)
{
    return -4;
}
