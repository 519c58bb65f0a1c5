#include "SerialPort_win.h"

#include <windows.h>

namespace device {

SerialPortWin::~SerialPortWin() {
    close();
}

bool SerialPortWin::open() {
    const std::wstring path = devicePathOf(portName_).toStdWString();
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failed();
        return false;
    }
    handle_ = handle;
    DCB line{};
    line.DCBlength = sizeof line;
    COMMTIMEOUTS timeouts{};
    // Bytes that are there come back at once; on a quiet line a read waits for the first
    // byte, up to ReadWaitMs, and then for nothing more.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = ReadWaitMs;
    if (!GetCommState(handle, &line)) {
        failed();
        close();
        return false;
    }
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    // XON and XOFF are data here, and nothing is replaced or dropped.
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    // An error on the line (a framing error) must not stop every later read.
    line.fAbortOnError = FALSE;
    if (!SetCommState(handle, &line) || !SetCommTimeouts(handle, &timeouts)) {
        failed();
        close();
        return false;
    }
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    thread_ = self;
    error_ = 0;
    return true;
}

void SerialPortWin::close() {
    if (handle_) CloseHandle(handle_);
    if (thread_) CloseHandle(thread_);
    handle_ = nullptr;
    thread_ = nullptr;
}

std::int64_t SerialPortWin::read(char* data, std::int64_t maxSize) {
    DWORD got = 0;
    if (!ReadFile(handle_, data, static_cast<DWORD>(maxSize), &got, nullptr)) {
        failed();
        return -1;
    }
    return got;
}

void SerialPortWin::discardInput() {
    if (handle_) PurgeComm(handle_, PURGE_RXCLEAR | PURGE_RXABORT);
}

void SerialPortWin::cancelRead() {
    // Windows ends a blocking read through its thread, or its handle; Wine 8 ends neither.
    if (thread_) CancelSynchronousIo(thread_);
    if (handle_) CancelIoEx(handle_, nullptr);
}

QString SerialPortWin::errorString() const {
    return qt_error_string(static_cast<int>(error_));
}

void SerialPortWin::failed() {
    error_ = GetLastError();
}

QString devicePathOf(const QString& portName) {
    if (portName.startsWith(QLatin1String("\\\\"))) return portName;
    return QStringLiteral("\\\\.\\") + portName;
}

QString describeLinkLoss(unsigned long error, const QString& systemReason) {
    // A Bluetooth or USB port that goes away fails the read under way with one of these.
    if (error == ERROR_DEVICE_REMOVED || error == ERROR_BAD_COMMAND ||
        error == ERROR_ACCESS_DENIED || error == ERROR_GEN_FAILURE ||
        error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE || error == 0)
        return QStringLiteral("the device or the system closed the connection (hung up)");
    return systemReason;
}

QString describeOpenFailure(const QString& portName, unsigned long error,
                            const QString& systemReason) {
    QString text = QStringLiteral("Cannot open %1: %2").arg(portName, systemReason);
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        text += QStringLiteral("\n\nThe port may be in use by another program.");
    } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        text += QStringLiteral("\n\nCheck that the device is paired and switched on.");
    }
    return text;
}

}  // namespace device
