#include "HeadlessFace.h"

#include <cstdio>

namespace app {

HeadlessFace::HeadlessFace(device::MeasurementHistory& history, const device::Clock& clock,
                           QObject* parent)
    : QObject(parent),
      station(
          history, *this, noDialog_,
          textlog::LogSession::Hooks{
              .textLogWindow = nullptr,
              .showTextLogWindow = nullptr,
              .showLogPath = nullptr,
              .reportError = [this](textlog::LogFailure, const QString& text) { sayLine(text); },
              .dialogParent = nullptr},
          clock) {
    device::MSComm& port = station.MSComm1;
    connect(&port, &device::MSComm::linkLost, this, [this, &port](const QString& reason) {
        // Once an outage (or a wait for a port not there yet), never once per try: a service's
        // journal would fill with a line every 30 s for as long as the device is away.
        sayLine(QStringLiteral("%1: %2 Trying again by itself.").arg(port.CommPort(), reason));
        outageTold_ = true;
    });
    connect(&port, &device::MSComm::linkRestored, this, [this, &port] {
        sayLine(outageTold_ ? QStringLiteral("%1 is back.").arg(port.CommPort())
                            : QStringLiteral("Listening to %1.").arg(port.CommPort()));
        outageTold_ = false;
    });
}

void HeadlessFace::sayLine(const QString& text) const {
    if (say) {
        say(text);
        return;
    }
    std::fputs(qPrintable(QStringLiteral("vellicor: ") + text + u'\n'), stderr);
    std::fflush(stderr);
}

void HeadlessFace::exit() {
    if (exited_) return;
    exited_ = true;
    station.shutdown();
    emit exited();
}

}  // namespace app
