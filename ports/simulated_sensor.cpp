#include "ports/simulated_sensor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

namespace ports {

namespace {

// vexa-sim prints its pseudo-terminal at once; a loaded machine may take a while.
constexpr int START_WAIT_MS = 5000;
constexpr int END_WAIT_MS = 2000;

QString linkFolderTemplate() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("vexa-tb-scope-XXXXXX"));
}

} // namespace

SimulatedSensor::SimulatedSensor(QObject *parent) : QObject(parent) {}

SimulatedSensor::~SimulatedSensor() {
    stop();
}

QString SimulatedSensor::program() {
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vexa-sim"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("vexa-sim"));
}

bool SimulatedSensor::running() const {
    return process_ && process_->state() == QProcess::Running;
}

QString SimulatedSensor::start(QString *problem) {
    if (running())
        return folder_->filePath(QStringLiteral("simulated"));
    stop();
    const QString sim = program();
    if (sim.isEmpty()) {
        *problem = tr("vexa-sim is neither beside the program nor on PATH");
        return {};
    }
    folder_ = std::make_unique<QTemporaryDir>(linkFolderTemplate());
    if (!folder_->isValid()) {
        *problem = tr("no folder for its link: %1").arg(folder_->errorString());
        folder_.reset();
        return {};
    }
    const QString link = folder_->filePath(QStringLiteral("simulated"));
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // No orphan: the child gets SIGTERM (and removes its link) when the
    // program's process ends, also by a crash.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_->start(sim, {QStringLiteral("--link"), link});
    QByteArray line;
    while (!line.contains('\n') && process_->waitForReadyRead(START_WAIT_MS))
        line += process_->readAllStandardOutput();
    if (!line.contains('\n')) {
        *problem =
            process_->state() == QProcess::Running || process_->error() == QProcess::FailedToStart
                ? tr("%1 did not start: %2").arg(sim, process_->errorString())
                : tr("%1 ended with exit code %2").arg(sim).arg(process_->exitCode());
        stop();
        return {};
    }
    pseudoTerminal_ = QString::fromLocal8Bit(line.left(line.indexOf('\n')));
    // Said from the next round of event processing, so that a listener may
    // call stop() without deleting the process inside its own signal.
    QProcess *child = process_.get();
    connect(
        child, &QProcess::finished, this,
        [this, sim, child](int code, QProcess::ExitStatus status) {
            if (process_.get() != child)
                return;
            emit ended(status == QProcess::CrashExit
                           ? tr("%1 ended by a signal").arg(sim)
                           : tr("%1 ended with exit code %2").arg(sim).arg(code));
        },
        Qt::QueuedConnection);
    return link;
}

void SimulatedSensor::stop() {
    if (process_) {
        process_->disconnect(this);
        if (process_->state() != QProcess::NotRunning) {
            process_->terminate();
            if (!process_->waitForFinished(END_WAIT_MS))
                process_->kill();
            process_->waitForFinished(END_WAIT_MS);
        }
        process_.reset();
    }
    folder_.reset();
    pseudoTerminal_.clear();
}

} // namespace ports
