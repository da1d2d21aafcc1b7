// The values of the last frame turn grey (disabled look) when the port is
// lost or a port is opened, as then they are another sensor's or an old
// line's, and come back with the next frame.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "stream/stream.h"

namespace window {

class StaleValues : public QObject {
    Q_OBJECT

  public:
    // Listens to the program's stream while it lives.
    StaleValues(std::vector<QWidget *> indicators, QObject *parent);

    bool stale() const { return stale_; }

  private:
    void setStale(bool stale);

    std::vector<QPointer<QWidget>> indicators_;
    bool shown_ = false; // a frame has been shown since the start
    bool stale_ = false;
    stream::Subscription frameSub_, portSub_;
};

} // namespace window

// For WinMain: the indicators `controls[0 .. count-1]` of `panel`, which the
// Run loop writes from each frame.
void AttachStaleMarks(int panel, const int controls[], int count);
