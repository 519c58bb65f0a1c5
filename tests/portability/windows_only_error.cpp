// Not compiled by the build: the Windows compile check must reject it, since its error sits in
// a branch that only a compiler for Windows takes.
#include <QtGlobal>

#ifdef Q_OS_WIN
int windowsOnly = undeclared_outside_linux;
#else
int windowsOnly = 0;
#endif
