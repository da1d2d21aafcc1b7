// The File menu's Record frames item: while it is checked, the recording
// listens to the program's frame stream.
#include "record/record_menu.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include "glance/window_note.h"
#include "glance/window_title.h"
#include "limits/supervisor.h"
#include "link/exchange_guard.h"
#include "menus/menu_bar.h"
#include "menus/message_box.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/globals.h"
#include "stream/stream.h"

namespace record {

namespace {

// Counts in the program's English texts: "1,234".
QString count(quint64 n) {
    return QLocale(QLocale::English).toString(n);
}

QString framesText(quint64 n) {
    return n == 1 ? QObject::tr("1 frame") : QObject::tr("%1 frames").arg(count(n));
}

// "12 s", "1 min 02 s", "1 h 02 min 03 s".
QString durationText(qint64 ms) {
    const qint64 s = ms / 1000;
    const auto twoDigits = [](qint64 n) {
        return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    };
    if (s >= 3600)
        return QObject::tr("%1 h %2 min %3 s")
            .arg(s / 3600)
            .arg(twoDigits(s / 60 % 60), twoDigits(s % 60));
    if (s >= 60)
        return QObject::tr("%1 min %2 s").arg(s / 60).arg(twoDigits(s % 60));
    return QObject::tr("%1 s").arg(s);
}

} // namespace

QString RecordMenu::stoppedText(quint64 frames, qint64 ms) {
    return tr("Recording stopped: %1 in %2").arg(framesText(frames), durationText(ms));
}

RecordMenu::RecordMenu(QWidget *mainWindow, QWidget *statusLine)
    : QObject(mainWindow), mainWindow_(mainWindow), statusLine_(statusLine) {
    connect(&recording_, &Recording::failed, this, [this](const QString &message) {
        listen(false);
        showProblem(message);
        showState();
    });
    if (statusLine_)
        statusLine_->installEventFilter(this);
    connect(&markTimer_, &QTimer::timeout, this, &RecordMenu::showMark);

    action_ = window::addFileToggle(
        mainWindow, tr("&Record frames..."), "actionRecordFrames",
        tr("Write every measurement frame (and in the Data loop every video pass) to a CSV file"),
        [this] { askForFile(); }, [this] { stopRecording(); });
    if (action_)
        action_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
}

RecordMenu::~RecordMenu() = default;

void RecordMenu::listen(bool on) {
    if (!on) {
        frames_.reset();
        videoPasses_.reset();
        events_.reset();
        eventLog_.reset();
        return;
    }
    stream::FrameStream &program = stream::programStream();
    frames_ = program.frames.subscribe([this](const stream::Frame &frame) {
        FrameValues values;
        std::copy_n(frame.words.begin(), FRAME_VALUES, values.begin());
        recording_.addFrame(values);
    });
    videoPasses_ = program.videoPasses.subscribe([this](const stream::VideoPass &pass) {
        recording_.addVideoPass(pass.x.data(), pass.y.data());
    });
}

QString RecordMenu::defaultPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name =
        QStringLiteral("vexa-frames-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    return QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(name);
}

bool RecordMenu::startRecording(const QString &path) {
    QString problem;
    if (!recording_.start(path, problem)) {
        showProblem(problem);
        showState();
        return false;
    }
    listen(true);
    char device[261] = {}; // empty while no port is open
    GetComOpenDevice(com, device);
    if (!recording_.describe(
            describeSensor(QStringLiteral("vexa-tb-scope"), QString::fromLocal8Bit(device)),
            problem))
        showProblem(
            tr("Cannot describe the recording: %1\nThe recording of frames goes on.").arg(problem));
    startEventLog(path);
    showState();
    return true;
}

void RecordMenu::startEventLog(const QString &framesPath) {
    const QString path =
        QFile::decodeName(eventsPathFor(QFile::encodeName(framesPath).toStdString()).c_str());
    eventLog_.emplace();
    eventLogFailed_ = false;
    const auto failed = [this, path](const std::string &reason) {
        if (std::exchange(eventLogFailed_, true))
            return;
        showProblem(
            tr("Cannot write the event log %1: %2\nThe recording of frames goes on.")
                .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(reason.c_str())));
    };
    if (!eventLog_->open(QFile::encodeName(path).toStdString())) {
        failed(eventLog_->reason());
        eventLog_.reset();
        return;
    }
    events_ = eventLog_->follow(limits::programSupervisor().events, failed);
}

void RecordMenu::stopRecording() {
    listen(false);
    recording_.stop();
    showState();
}

// Opened with open(), never exec(): a running loop would stand still until
// the dialog closed. The dialog's own question before replacing a file would
// run a nested event loop, so that question is asked here, also without one,
// and in one go for the frame file and the video file beside it.
void RecordMenu::askForFile() {
    auto *dialog =
        new QFileDialog(mainWindow_, tr("Record frames"), defaultPath(), tr("CSV files (*.csv)"));
    dialog->setObjectName(QStringLiteral("recordFramesDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        // The video file beside it is replaced too, once the Data loop runs,
        // and the event log and the description at once.
        QStringList existing;
        for (const QString &file : {path, QString::fromStdString(videoPathFor(path.toStdString())),
                                    QString::fromStdString(eventsPathFor(path.toStdString())),
                                    QString::fromStdString(descriptionPathFor(path.toStdString()))})
            if (QFileInfo::exists(file))
                existing << QFileInfo(file).fileName();
        if (existing.isEmpty())
            startRecording(path);
        else
            confirmReplace(path, existing);
    });
    connect(dialog, &QFileDialog::rejected, this, [this] { showState(); });
    dialog->open();
}

void RecordMenu::confirmReplace(const QString &path, const QStringList &existing) {
    QString names = existing.first();
    for (qsizetype i = 1; i < existing.size(); ++i)
        names += (i + 1 == existing.size() ? tr(" and ") : QStringLiteral(", ")) + existing[i];
    const QString question = existing.size() == 1
                                 ? tr("%1 already exists.\nDo you want to replace it?").arg(names)
                                 : tr("%1 already exist.\nDo you want to replace them?").arg(names);
    QMessageBox *box = window::showMessage(mainWindow_, QMessageBox::Question, tr("Record frames"),
                                           question, QMessageBox::Yes | QMessageBox::No,
                                           QStringLiteral("recordReplaceQuestion"));
    connect(box, &QMessageBox::finished, this, [this, box, path] {
        if (box->clickedButton() == box->button(QMessageBox::Yes))
            startRecording(path);
        else
            showState();
    });
}

void RecordMenu::showProblem(const QString &message) {
    std::fprintf(stderr, "vexa-tb-scope: %s\n", qPrintable(message));
    // It stays until the user closes it; the loops go on meanwhile.
    window::showMessage(mainWindow_, QMessageBox::Warning, QObject::tr("Record frames"), message,
                        QMessageBox::Close, QStringLiteral("recordingMessage"));
}

void RecordMenu::showState() {
    const bool active = recording_.isActive();
    if (action_) {
        const QSignalBlocker quiet(action_);
        action_->setChecked(active);
    }

    if (active != marking_) {
        marking_ = active;
        if (active) {
            markTimer_.start(MARK_REFRESH_MS); // the mark comes with the first count
        } else {
            markTimer_.stop();
            showMark();
        }
    }

    window::setTitlePart(
        mainWindow_, window::TitlePart::Recording,
        active ? tr(" - recording to %1").arg(QFileInfo(recording_.framesPath()).fileName())
               : QString());

    if (!statusLine_)
        return;
    QString tip = statusLine_->toolTip();
    if (!toolTipLine_.isEmpty() && tip.endsWith(toolTipLine_)) {
        tip.chop(toolTipLine_.size());
        if (tip.endsWith(QLatin1Char('\n')))
            tip.chop(1);
    }
    toolTipLine_.clear();
    if (active) {
        toolTipLine_ =
            tr("Recording frames to %1").arg(QDir::toNativeSeparators(recording_.framesPath()));
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + toolTipLine_;
    }
    statusLine_->setToolTip(tip);
}

void RecordMenu::showMark() {
    if (!marking_) {
        if (mark_)
            mark_->hide();
        window::showWindowNote(mainWindow_,
                               stoppedText(recording_.framesWritten(), recording_.elapsedMs()));
        return;
    }
    if (!mark_) {
        QStatusBar *bar = window::windowStatusBar(mainWindow_);
        if (!bar)
            return;
        mark_ = new QLabel(bar);
        mark_->setObjectName(QStringLiteral("statusRecording"));
        mark_->setStyleSheet(QStringLiteral("color: #c62828"));
        mark_->setToolTip(tr("Frames written to the recording's file so far"));
        bar->addPermanentWidget(mark_);
    }
    const QString text = tr("\u25cf REC %1").arg(framesText(recording_.framesWritten()));
    if (mark_->text() != text)
        mark_->setText(text);
    mark_->show();
}

// Whoever else sets the status line's tooltip (why a port did not open)
// replaces the whole text: the recording's line goes back under it.
bool RecordMenu::eventFilter(QObject *watched, QEvent *event) {
    if (watched == statusLine_ && event->type() == QEvent::ToolTipChange &&
        !toolTipLine_.isEmpty() && !statusLine_->toolTip().endsWith(toolTipLine_)) {
        const QString line = std::exchange(toolTipLine_, QString());
        const QString tip = statusLine_->toolTip();
        toolTipLine_ = line;
        statusLine_->setToolTip(tip.isEmpty() ? line : tip + QLatin1Char('\n') + line);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace record

namespace {

// Clicks a button once the window has been shown and the connect sequence of
// the start is over (the window shows before it, and a click during it would
// be refused as busy).
// What a test run does once the window shows and the sensor is idle (the
// connect sequence over): a click on a button, a pick in a selector.
class WhenShownAndIdle : public QObject {
  public:
    WhenShownAndIdle(QWidget *window, std::function<void(QWidget *)> act)
        : QObject(window), window_(window), act_(std::move(act)) {
        window->installEventFilter(this);
        connect(&poll_, &QTimer::timeout, this, &WhenShownAndIdle::actWhenIdle);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == window_ && event->type() == QEvent::Show) {
            window_->removeEventFilter(this);
            poll_.start(50);
        }
        return false;
    }

  private:
    void actWhenIdle() {
        if (SensorBusy())
            return;
        poll_.stop();
        act_(window_);
    }

    QWidget *window_;
    std::function<void(QWidget *)> act_;
    QTimer poll_;
};

void clickButton(QWidget *window, const QString &name) {
    if (auto *button = window->findChild<QAbstractButton *>(name))
        button->click();
}

// Picks the entry `text` of the COM selector as the arrow key does from the
// entry before it.
void pickPort(QWidget *window, const QString &text) {
    auto *selector = window->findChild<QComboBox *>(QStringLiteral("DropDCom"));
    const int row = selector ? selector->findText(text) : -1;
    if (row < 1)
        return;
    {
        const QSignalBlocker quiet(selector);
        selector->setCurrentIndex(row - 1);
    }
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(selector, &down);
}

} // namespace

void AttachRecording(int panel, int statusLine) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    auto *menu = new record::RecordMenu(mainWindow, rt::controlWidget(panel, statusLine));
    if (const QString path = qEnvironmentVariable("VEXA_TEST_RECORD"); !path.isEmpty())
        menu->startRecording(path);
    if (const QString button = qEnvironmentVariable("VEXA_TEST_CLICK"); !button.isEmpty())
        new WhenShownAndIdle(mainWindow, [button](QWidget *w) { clickButton(w, button); });
    if (const QString entry = qEnvironmentVariable("VEXA_TEST_PICK"); !entry.isEmpty())
        new WhenShownAndIdle(mainWindow, [entry](QWidget *w) { pickPort(w, entry); });
}
