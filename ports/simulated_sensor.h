// The simulated sensor as a child of the program: the installed vexa-sim
// (beside the program's own binary first, then on PATH) serving a
// pseudo-terminal behind a link named "simulated" in a folder of its own, so
// that the title names the port "simulated". The child ends with this object,
// and with the program however it ends (the system sends it SIGTERM when the
// program's process goes).
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace ports {

class SimulatedSensor : public QObject {
    Q_OBJECT

  public:
    explicit SimulatedSensor(QObject *parent = nullptr);
    ~SimulatedSensor() override;

    // Starts vexa-sim unless it runs and waits for its line; the path to open
    // on success, else empty with why in `problem`.
    QString start(QString *problem);
    // Ends the child; nothing when none runs.
    void stop();
    bool running() const;
    // The path of the child's pseudo-terminal ("/dev/pts/5").
    const QString &pseudoTerminal() const { return pseudoTerminal_; }

    // Where vexa-sim is: beside the program, else on PATH; empty when nowhere.
    static QString program();

  signals:
    // The child ended without stop(): why, for the user.
    void ended(const QString &why);

  private:
    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QTemporaryDir> folder_;
    QString pseudoTerminal_;
};

} // namespace ports
