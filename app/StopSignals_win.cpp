#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <mutex>

#include "StopSignals.h"

namespace app {

namespace {

constexpr wchar_t WindowClass[] = L"VellicorStopSignals";
// How long logging off or a closing console may wait for Exit before Windows ends the program.
constexpr DWORD StopWaitMs = 5000;

std::mutex currentMutex;
StopSignals* current = nullptr;  // the one listening, guarded by currentMutex
std::atomic<int> interrupts = 0;
HANDLE stopDone = nullptr;  // set once a stop asked for from another thread has been done

void emitStop(StopSignals* listener) {
    emit listener->stopRequested();
    SetEvent(stopDone);
}

// From a thread of the system's: asks the event loop for the stop, as a POSIX signal does.
bool postStop() {
    const std::lock_guard lock(currentMutex);
    if (!current) return false;
    StopSignals* listener = current;
    QMetaObject::invokeMethod(
        listener, [listener] { emitStop(listener); }, Qt::QueuedConnection);
    return true;
}

// Runs on a thread the system starts for the event.
BOOL WINAPI consoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            // A second one takes the default way out, for a stop that hangs.
            if (interrupts.fetch_add(1) > 0) return FALSE;
            return postStop() ? TRUE : FALSE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the program as soon as this returns: Exit must be done by then.
            if (!postStop()) return FALSE;
            WaitForSingleObject(stopDone, StopWaitMs);
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT CALLBACK windowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* listener = reinterpret_cast<StopSignals*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_CLOSE:  // taskkill without /F
            if (listener) {
                QMetaObject::invokeMethod(
                    listener, [listener] { emit listener->stopRequested(); }, Qt::QueuedConnection);
            }
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends as soon as this returns, so Exit runs now, not from the event loop.
            if (wParam && listener) emit listener->stopRequested();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (!stopDone) stopDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowMessage;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = WindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when a previous listener registered it
    // Never shown. A message-only window would be simpler, but neither taskkill nor the end of
    // a session sends anything to one.
    const HWND window = CreateWindowExW(0, WindowClass, L"Vellicor", WS_OVERLAPPED, 0, 0, 0, 0,
                                        nullptr, nullptr, instance, nullptr);
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    window_ = window;
    {
        const std::lock_guard lock(currentMutex);
        current = this;
    }
    interrupts = 0;
    ResetEvent(stopDone);
    SetConsoleCtrlHandler(consoleEvent, TRUE);
    // Qt's windows hear the end of a session as well, and some of them may hear it before this
    // window does; Qt then says the application is about to quit, and the program must be done
    // before that returns.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &StopSignals::stopRequested, Qt::DirectConnection);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(consoleEvent, FALSE);
    {
        const std::lock_guard lock(currentMutex);
        current = nullptr;
    }
    if (window_) DestroyWindow(static_cast<HWND>(window_));
    // A console event that came in the meantime must not wait for a stop that will not come.
    SetEvent(stopDone);
}

}  // namespace app
