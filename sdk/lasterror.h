// The calling thread's last failure as the boundary reports it: a text for
// trace lines (Orvix_LastError) and, when a failed system call was behind
// it, that call's errno (Orvix_LastErrorNumber), so that a caller tells a
// full disk from a refusing folder without reading the text.
#ifndef ORVIX_LASTERROR_H
#define ORVIX_LASTERROR_H

#include <string>

namespace orvix {

// Replaces the thread's last failure; errorNumber 0 when no system call failed.
void setLastError(const std::string &text, int errorNumber = 0);
const char *lastError();
int lastErrorNumber();

} // namespace orvix

#endif
