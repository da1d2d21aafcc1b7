// The status bar under the panel: frames and frame rate of a running loop,
// the in-tolerance lamp of the live value, and what to do when the sensor
// did not answer or its port did not open. It redraws a few times a second
// from what the SensorWatch has stored, never per frame.
#pragma once

#include <QElapsedTimer>
#include <QStatusBar>
#include <QTimer>

#include <deque>
#include <utility>

class QLabel;

namespace window {

class SensorWatch;

class GlanceBar : public QStatusBar {
    Q_OBJECT

  public:
    enum class Lamp { Off, In, Out };

    static constexpr int REFRESH_MS = 250;
    // A lamp without a frame for this long goes grey.
    static constexpr qint64 FRAME_FRESH_MS = 1000;

    GlanceBar(SensorWatch *watch, QWidget *parent);

    Lamp lamp() const { return lamp_; }
    // The texts as shown, for tests.
    QString framesText() const;
    QString lampText() const;
    QString hintText() const;

    // One refresh as of `nowMs` on the bar's own clock (tests pass their time).
    void refreshAt(qint64 nowMs);

  protected:
    // A new palette (View > Theme) shows the lamp in its colours for it.
    void changeEvent(QEvent *event) override;

  private:
    void refresh() { refreshAt(clock_.elapsed()); }
    void showHint();
    void showLamp(Lamp lamp);
    static void setText(QLabel *label, const QString &text);

    SensorWatch *watch_;
    QTimer timer_;
    QElapsedTimer clock_;
    QLabel *hint_;
    QLabel *frames_;
    QLabel *lamp_label_;
    Lamp lamp_ = Lamp::Off;
    quint64 seenFrames_ = 0;
    qint64 lastFrameAt_ = -1;
    std::deque<std::pair<qint64, quint64>> samples_; // (time, frames) of the last second
};

} // namespace window
