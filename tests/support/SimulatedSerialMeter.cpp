#include "support/SimulatedSerialMeter.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QStringList>

#include <signal.h>
#include <sys/types.h>

#include <stdexcept>

namespace {

constexpr int WaitMs = 10000;

}  // namespace

SimulatedSerialMeter::SimulatedSerialMeter(const std::string& program, const Settings& settings,
                                           const std::string& link) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("VELSIM_")))
            environment.remove(name);
    for (const auto& [name, value] : settings)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    QStringList arguments;
    if (!link.empty())
        arguments << QStringLiteral("--link") << QString::fromStdString(link);

    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QString::fromStdString(program), arguments);
    if (!process_.waitForStarted(WaitMs))
        throw std::runtime_error("SimulatedSerialMeter: cannot start " + program + ": " +
                                 process_.errorString().toStdString());

    const QDeadlineTimer deadline(WaitMs);
    while (!process_.canReadLine() && process_.state() == QProcess::Running && !deadline.hasExpired())
        process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    if (!process_.canReadLine()) {
        process_.kill();
        process_.waitForFinished(WaitMs);
        throw std::runtime_error("SimulatedSerialMeter: " + program + " gave no port path");
    }
    portPath_ = QString::fromLocal8Bit(process_.readLine()).trimmed().toStdString();
}

SimulatedSerialMeter::~SimulatedSerialMeter() {
    // QProcess's own destructor kills whatever is still running after this.
    if (process_.state() != QProcess::NotRunning)
        Stop();
}

int SimulatedSerialMeter::Stop(int signal) {
    if (process_.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(process_.processId()), signal);
        process_.waitForFinished(WaitMs);
    }
    if (process_.state() != QProcess::NotRunning || process_.exitStatus() != QProcess::NormalExit)
        return -1;
    return process_.exitCode();
}
