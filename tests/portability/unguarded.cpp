// Not compiled: the portability scan reads it and must report line 8 alone, after the lines that
// CMake's lists would otherwise split or join.
#include <QString>
int table[2] = {1, 2};  // a; b [
#ifdef Q_OS_UNIX
#include <termios.h>
#endif
#include <unistd.h>
