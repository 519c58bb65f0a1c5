#pragma once

#include <QtGlobal>

namespace app {

// A Windows program with a window has no console of its own, so what it prints (--help, a
// refused command line, the messages of --headless) would go nowhere: when it was started
// from a console, it writes there instead, unless its output was redirected. Elsewhere a
// program always has its terminal's output.
#ifdef Q_OS_WIN
void useParentConsole();
#else
inline void useParentConsole() {}
#endif

}  // namespace app
