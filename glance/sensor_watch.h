// What the window knows of the sensor at a glance: the port and whether the
// sensor answers on it, and the frames of a running loop. It listens to the
// program's frame stream; the title and the status bar read it. It holds
// data only, so tests use it without a screen.
#pragma once

#include <QObject>
#include <QString>

#include "stream/stream.h"

namespace window {

class SensorWatch : public QObject {
    Q_OBJECT

  public:
    enum class Link { Unknown, Connected, NoAnswer, NotOpen };

    // Listens to the program's stream while it lives.
    explicit SensorWatch(QObject *parent = nullptr);

    // What the stream reports.
    void portOpened(int port, int result);
    void portLost(int port);
    void exchangeEnded(int port, int replied);
    void loopRunning(bool running);
    // Runs for every frame: stores, nothing more.
    void frameDecoded(const unsigned short *words, int count) {
        if (count > FRAME_TTOL) {
            mvalue_ = words[FRAME_MVALUE];
            tVal_ = words[FRAME_TVAL];
            tTol_ = words[FRAME_TTOL];
            ++frames_;
        }
    }

    int port() const { return port_; }
    // The device behind the port ("/dev/ttyUSB0"), empty before an open.
    const QString &device() const { return device_; }
    Link link() const { return link_; }
    bool running() const { return running_; }
    // What to do about a failure, shown until the sensor answers again.
    const QString &hint() const { return hint_; }
    // " — COM1 (ttyUSB0) — connected"; empty before the first open.
    QString titleSuffix() const;

    quint64 frames() const { return frames_; }
    unsigned short mvalue() const { return mvalue_; }
    unsigned short tVal() const { return tVal_; }
    unsigned short tTol() const { return tTol_; }

  signals:
    void linkChanged(); // port, state or hint
    void loopChanged(); // a loop started or ended

  private:
    void setLink(Link link);
    void setHint(const QString &hint);
    QString portName() const;

    int port_ = 0;
    QString device_;
    Link link_ = Link::Unknown;
    bool running_ = false;
    bool lastReplied_ = true;
    QString hint_;
    quint64 frames_ = 0;
    unsigned short mvalue_ = 0, tVal_ = 0, tTol_ = 0;
    stream::Subscription frameSub_, portSub_, loopSub_;
};

// How the title names a device: its path below /dev ("ttyUSB0", "pts/5"),
// else its file name.
QString deviceShortName(const QString &device);

// The words for the title's last part: "connected", "no answer", "not open".
QString linkText(SensorWatch::Link link);

} // namespace window
