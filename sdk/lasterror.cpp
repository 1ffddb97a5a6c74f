#include "sdk/lasterror.h"

namespace orvix {
namespace {

thread_local std::string t_lastError;
thread_local int t_lastErrorNumber = 0;

} // namespace

void setLastError(const std::string &text, int errorNumber)
{
    t_lastError = text;
    t_lastErrorNumber = errorNumber;
}

const char *lastError() { return t_lastError.c_str(); }

int lastErrorNumber() { return t_lastErrorNumber; }

} // namespace orvix
