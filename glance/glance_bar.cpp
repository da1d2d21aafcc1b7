#include "glance/glance_bar.h"

#include <QEvent>
#include <QLabel>
#include <QStyle>

#include "glance/sensor_watch.h"
#include "limits/tolerance.h"

namespace window {

namespace {

struct LampLook {
    GlanceBar::Lamp lamp;
    const char *text;
    const char *color;
    const char *darkColor; // on a dark palette
};

constexpr LampLook LAMP_LOOKS[] = {
    {GlanceBar::Lamp::Off, QT_TRANSLATE_NOOP("window", "no live value"), "#9e9e9e", "#9e9e9e"},
    {GlanceBar::Lamp::In, QT_TRANSLATE_NOOP("window", "in tolerance"), "#2e7d32", "#66bb6a"},
    {GlanceBar::Lamp::Out, QT_TRANSLATE_NOOP("window", "out of tolerance"), "#c62828", "#ef5350"},
};

const LampLook &lookOf(GlanceBar::Lamp lamp) {
    for (const LampLook &look : LAMP_LOOKS)
        if (look.lamp == lamp)
            return look;
    return LAMP_LOOKS[0];
}

} // namespace

GlanceBar::GlanceBar(SensorWatch *watch, QWidget *parent)
    : QStatusBar(parent), watch_(watch), hint_(new QLabel(this)), frames_(new QLabel(this)),
      lamp_label_(new QLabel(this)) {
    setObjectName(QStringLiteral("statusBar"));
    setSizeGripEnabled(false);
    // Without the grip the last text would touch the window's right edge.
    setContentsMargins(0, 0, style()->pixelMetric(QStyle::PM_LayoutRightMargin), 0);
    hint_->setObjectName(QStringLiteral("statusHint"));
    frames_->setObjectName(QStringLiteral("statusFrames"));
    lamp_label_->setObjectName(QStringLiteral("statusLamp"));
    lamp_label_->setToolTip(tr("The measured value against the band of the trend chart's "
                               "upper and lower limit; grey when no frame came in the last "
                               "second"));
    addWidget(hint_, 1);
    addPermanentWidget(frames_);
    addPermanentWidget(lamp_label_);
    showLamp(Lamp::Off);

    connect(watch_, &SensorWatch::linkChanged, this, &GlanceBar::showHint);
    connect(watch_, &SensorWatch::loopChanged, this, &GlanceBar::refresh);
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, &GlanceBar::refresh);
}

QString GlanceBar::framesText() const {
    return frames_->text();
}
QString GlanceBar::lampText() const {
    return tr(lookOf(lamp_).text);
}
QString GlanceBar::hintText() const {
    return hint_->text();
}

void GlanceBar::refreshAt(qint64 nowMs) {
    const quint64 frames = watch_->frames();
    if (frames != seenFrames_ && frames != 0)
        lastFrameAt_ = nowMs;
    seenFrames_ = frames;

    if (watch_->running()) {
        samples_.emplace_back(nowMs, frames);
        while (samples_.size() > 2 && nowMs - samples_.front().first > FRAME_FRESH_MS)
            samples_.pop_front();
        const qint64 span = nowMs - samples_.front().first;
        const quint64 counted = frames - samples_.front().second;
        const double rate = span > 0 ? 1000.0 * static_cast<double>(counted) / span : 0.0;
        setText(frames_, tr("Frames: %1 \u00b7 %2 frames/s").arg(frames).arg(rate, 0, 'f', 1));
    } else {
        samples_.clear();
        setText(frames_, frames ? tr("Frames: %1").arg(frames) : QString());
    }

    const bool fresh = lastFrameAt_ >= 0 && nowMs - lastFrameAt_ <= FRAME_FRESH_MS;
    if (!fresh)
        showLamp(Lamp::Off);
    else if (limits::toleranceBand(watch_->tVal(), watch_->tTol()).contains(watch_->mvalue()))
        showLamp(Lamp::In);
    else
        showLamp(Lamp::Out);

    // An idle program stays asleep: the bar wakes while a loop runs and until
    // its lamp has gone grey.
    if (watch_->running() || lamp_ != Lamp::Off) {
        if (!timer_.isActive())
            timer_.start(REFRESH_MS);
    } else {
        timer_.stop();
    }
}

void GlanceBar::setText(QLabel *label, const QString &text) {
    if (label->text() != text)
        label->setText(text);
}

void GlanceBar::showHint() {
    hint_->setText(watch_->hint());
}

void GlanceBar::showLamp(Lamp lamp) {
    if (lamp == lamp_ && !lamp_label_->text().isEmpty())
        return;
    lamp_ = lamp;
    const LampLook &look = lookOf(lamp);
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    lamp_label_->setText(
        QStringLiteral("<span style=\"color:%1\">\u25cf</span> %2")
            .arg(QLatin1String(dark ? look.darkColor : look.color), tr(look.text)));
}

void GlanceBar::changeEvent(QEvent *event) {
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !lamp_label_->text().isEmpty()) {
        lamp_label_->clear();
        showLamp(lamp_);
    }
}

} // namespace window
