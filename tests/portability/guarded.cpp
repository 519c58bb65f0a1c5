// Not compiled: every POSIX-only header here sits behind a guard, so the scan must pass.
#include <QtGlobal>
#include <cstdio>
#if defined(Q_OS_UNIX)
#include <sys/ioctl.h>
#ifdef Q_OS_LINUX
#include <pty.h>
#endif
#else
#include <windows.h>
#endif
#include "unistd.h"
