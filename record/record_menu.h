// The File menu's "Record frames..." item and what it shows: the recording
// runs from the item's check until it is unchecked or a write fails, across
// Run, Stop and Data, with the line's events in <base>-events.csv beside it; the window title and
// the status line's tooltip say that the program records and where.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "limits/event_log.h"
#include "record/recording.h"
#include "stream/channel.h"

#include <optional>

class QAction;
class QLabel;
class QWidget;

namespace record {

class RecordMenu : public QObject {
    Q_OBJECT

  public:
    // Adds the item to mainWindow's File menu (before "Quit" when that is
    // there) and listens to the loops while a recording runs.
    RecordMenu(QWidget *mainWindow, QWidget *statusLine);
    ~RecordMenu() override;

    // Starts recording to `path` at once, as the dialog does once a file is
    // chosen. False (and a message box) when the file cannot be opened.
    bool startRecording(const QString &path);
    void stopRecording();
    Recording &recording() { return recording_; }
    QAction *action() const { return action_; }

    // "vexa-frames-YYYYMMDD-HHMMSS.csv" in the user's documents folder.
    static QString defaultPath();

    // How often the status bar's recording mark ("● REC 1,234 frames")
    // counts again while a recording runs.
    static constexpr int MARK_REFRESH_MS = 250;
    // "Recording stopped: 1,234 frames in 1 min 02 s".
    static QString stoppedText(quint64 frames, qint64 ms);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    // Subscribes the recording to the program's frame stream, or ends that.
    void listen(bool on);
    void askForFile();
    // Asks once before `existing` (the file names of the frame file and of
    // its video file that are there) are replaced.
    void confirmReplace(const QString &path, const QStringList &existing);
    void showState();
    // The mark while recording; when a recording has ended, the note of
    // what it wrote.
    void showMark();
    void showProblem(const QString &message);

    QWidget *mainWindow_;
    QPointer<QWidget> statusLine_;
    // Opens <base>-events.csv beside the frame file and writes the program's
    // supervision's events to it while the recording runs; a log that
    // cannot be written is said once and the recording goes on.
    void startEventLog(const QString &framesPath);

    QAction *action_ = nullptr;
    Recording recording_;
    std::optional<limits::EventLog> eventLog_;
    bool eventLogFailed_ = false;
    QString titleBefore_;
    QString toolTipLine_; // the line this adds to the status line's tooltip
    QTimer markTimer_;
    QPointer<QLabel> mark_; // made in the status bar at the first count
    bool marking_ = false;
    stream::Subscription frames_, videoPasses_, events_;
};

} // namespace record

// For WinMain: the "Record frames..." item on the main panel's window. For
// tests that run the program as a process, VEXA_TEST_RECORD=FILE records
// from the start, and VEXA_TEST_CLICK=NAME clicks the main panel's button of
// that object name once the window is first shown.
void AttachRecording(int panel, int statusLine);
