#ifndef EMULATEDSKIP_H
#define EMULATEDSKIP_H

#include <QtGlobal>
#include <QtTest>

// Under qemu-user (the arm64 cross build runs the suites emulated) a suite
// cannot start other programs of the build machine; the native build checks
// the same thing. A macro, because QSKIP must return from the test function.
#define QUILLO_SKIP_WHEN_EMULATED()                                                              \
    do {                                                                                         \
        if (!qEnvironmentVariableIsEmpty("QUILLO_TEST_EMULATOR"))                               \
            QSKIP("other programs cannot be started from a process emulated by qemu-user");     \
    } while (false)

#endif
