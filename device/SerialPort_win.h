#pragma once

#include <QString>
#include <cstdint>

namespace device {

// A COM port opened for reading through the Win32 communications API: 9600 baud, 8 data bits,
// no parity, one stop bit, no flow control, every byte value passed unchanged.
//
// A read blocks the calling thread until bytes come, and returns at once with what has come;
// on a quiet line it returns nothing after ReadWaitMs. Overlapped reads are not used: Wine,
// where the Windows program is tested, fails an overlapped WaitCommEvent at once.
//
// Under Wine (8.0) a read returns only at the end of its wait, with what came meanwhile, and
// neither CancelSynchronousIo nor CancelIoEx ends it early; the wait therefore also bounds how
// late bytes show there and how long a closing port takes, and is kept at half a second.
class SerialPortWin {
public:
    static constexpr unsigned ReadWaitMs = 500;

    explicit SerialPortWin(const QString& portName) : portName_(portName) {}
    ~SerialPortWin();
    SerialPortWin(const SerialPortWin&) = delete;
    SerialPortWin& operator=(const SerialPortWin&) = delete;

    // Opens the port for reading alone; false with error() and errorString() set.
    bool open();
    bool isOpen() const { return handle_ != nullptr; }
    void close();
    // The bytes read, 0 for none, or -1 on an error (error() and errorString() say which).
    std::int64_t read(char* data, std::int64_t maxSize);
    void discardInput();
    // From another thread, while the port is open: a read under way on the thread that opened
    // the port returns now.
    void cancelRead();

    QString portName() const { return portName_; }
    // The Win32 error code of the last failure, 0 for none.
    unsigned long error() const { return error_; }
    QString errorString() const;

private:
    void failed();

    QString portName_;
    void* handle_ = nullptr;
    void* thread_ = nullptr;  // the thread that opened the port, and reads it
    unsigned long error_ = 0;
};

// The name CreateFile takes for a port: "COM10" and above only open as "\\.\COM10".
QString devicePathOf(const QString& portName);

// What became of a link that went away while open, in words that say what happened.
QString describeLinkLoss(unsigned long error, const QString& systemReason);

// Explains a failed open in words a user can act on.
QString describeOpenFailure(const QString& portName, unsigned long error,
                            const QString& systemReason);

}  // namespace device
