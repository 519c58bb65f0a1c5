// A logging program reduced to its data path, for the test that kills it: reads frames from
// the port named in argv[1] and logs them into the file named in argv[2]. It prints "ready" once
// logging runs and "logged" after each line, then waits to be killed.
#include <QApplication>
#include <cstdio>

#include "device/FrameDecoder.h"
#include "device/MSComm.h"
#include "textlog/Form2.h"
#include "textlog/LogSession.h"

namespace {

struct FixedAnswer : textlog::SaveDialog {
    QString path;
    std::optional<QString> askFileName(QWidget*) override { return path; }
};

struct ForwardingSink : device::FrameSink {
    textlog::LogSession* session = nullptr;
    void showRegisters(const device::RegisterTexts&) override {}
    QString updateRateText() const override { return QStringLiteral("1"); }
    void logSample(const device::LogRecord& r) override {
        session->logSample(r);
        std::fputs("logged\n", stdout);
        std::fflush(stdout);
    }
    device::GraphScale graphScale() override { return device::GraphScale::Fixed; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) return 2;

    device::MeasurementHistory history;
    FixedAnswer dialog;
    dialog.path = QString::fromLocal8Bit(argv[2]);
    std::unique_ptr<textlog::Form2> window;
    textlog::LogSession session(
        history, dialog,
        {[&] {
             if (!window) window = std::make_unique<textlog::Form2>(nullptr);
             return window.get();
         },
         [] {}, [](const QString&) {},
         [](auto, const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); },
         nullptr});
    ForwardingSink sink;
    sink.session = &session;
    device::FrameDecoder decoder(history, sink);

    device::MSComm comm;
    comm.setCommPort(QString::fromLocal8Bit(argv[1]));
    comm.setQuickOpenMs(5000);  // a loaded test machine may be slow to open the pty
    if (!comm.setPortOpen(true)) {
        std::fprintf(stderr, "%s\n", qPrintable(comm.errorString()));
        return 1;
    }
    QObject::connect(&comm, &device::MSComm::OnComm, [&] { decoder.decode(comm.Input()); });

    session.saveLog();
    if (!history.LogToFile) return 1;
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return app.exec();
}
