#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
int runAll(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
}  // namespace

// Every test binary runs with a real Qt application on the offscreen platform, in a known
// locale unless a test picks another.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    const int status = runAll(argc, argv);
#ifdef Q_OS_WIN
    // Under Wine, a test process whose cases started and ended threads at times never ends:
    // while the DLLs unload, libstdc++ deletes its thread key and winpthreads waits forever for
    // a lock on its key table. The program itself ends; the cases' verdicts are all written by
    // now, so the process ends here without unloading them.
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
#endif
    return status;
}
