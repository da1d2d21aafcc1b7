// The alarm that ends a serial port's rest: it rings once per start, never
// after a stop, and a new start replaces the time of the last.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <thread>

#include "runtime/precise_alarm.h"

namespace {

using namespace std::chrono_literals;

void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(PreciseAlarm, RingsOncePerStartAndNeverAfterAStop) {
    struct Case {
        const char *what;
        void (*arm)(rt::PreciseAlarm &);
        int rings;
    };
    const Case cases[] = {
        {"started", [](rt::PreciseAlarm &a) { ASSERT_TRUE(a.start(0.005)); }, 1},
        {"started twice", [](rt::PreciseAlarm &a) { a.start(0.5), a.start(0.005); }, 1},
        {"started at zero", [](rt::PreciseAlarm &a) { a.start(0); }, 1},
        {"stopped", [](rt::PreciseAlarm &a) { a.start(0.005), a.stop(); }, 0},
        // The kernel timer has run out, but the event loop has not seen it yet.
        {"stopped after its time",
         [](rt::PreciseAlarm &a) {
             a.start(0.001);
             std::this_thread::sleep_for(10ms);
             a.stop();
         },
         0},
    };
    for (const Case &c : cases) {
        int rings = 0;
        rt::PreciseAlarm alarm([&rings] { ++rings; });
        c.arm(alarm);
        runEventsFor(100);
        EXPECT_EQ(rings, c.rings) << c.what;
        EXPECT_FALSE(alarm.isActive()) << c.what;
    }
}

TEST(PreciseAlarm, StartsAgainFromItsOwnRing) {
    int rings = 0;
    rt::PreciseAlarm *self = nullptr;
    rt::PreciseAlarm alarm([&] {
        if (++rings < 3)
            self->start(0.002);
    });
    self = &alarm;
    alarm.start(0.002);
    runEventsFor(100);
    EXPECT_EQ(rings, 3);
}

} // namespace
