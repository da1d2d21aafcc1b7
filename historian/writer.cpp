// The writer thread and the keeper of batches. The thread wakes for
// messages or for the batch's deadline, whichever comes first; the keeper
// keeps order by one rule: while anything waits in the spool, new batches
// go behind it, and the spool is written back oldest first. Each change of
// the store's state is said once; losses while the spool is full are said
// when they begin and then at most once a minute, with the running count.
#include "historian/writer.h"

#include <chrono>

#include "historian/time_spec.h"

namespace historian {

namespace {

constexpr Millis LOSS_SAID_EVERY = 60000, FOREIGN_SAID_EVERY = 60000;
constexpr int TAKE_WAIT_MS = 200;
constexpr int WRITE_BACK_SLICE_MS = 200, WRITE_BACK_AT_STOP_MS = 5000;

} // namespace

Millis steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

BatchKeeper::BatchKeeper(Store &store, Spool &spool, Say say, int retryMs)
    : store_(store), spool_(spool), say_(std::move(say)), retryMs_(retryMs) {}

KeptFigures BatchKeeper::figures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return figures_;
}

bool BatchKeeper::tryStore(const Batch &batch, Millis steadyNow) {
    try {
        store_.append(batch);
    } catch (const StoreUnavailable &e) {
        goAway(e.what(), steadyNow);
        return false;
    } catch (const std::exception &e) {
        // Not the store being away but a batch it will never take: kept
        // back, it would hold up every batch behind it.
        say_("the store refused a batch of " + grouped(static_cast<long long>(batch.size())) +
             " records, which is lost: " + e.what());
        std::lock_guard<std::mutex> lock(mutex_);
        figures_.lostFrames += static_cast<long long>(batch.frames.size());
        figures_.lostRecords += static_cast<long long>(batch.size());
        return true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    figures_.keptRecords += static_cast<long long>(batch.size());
    return true;
}

void BatchKeeper::goAway(const std::string &reason, Millis steadyNow) {
    if (!away_)
        say_("store away: " + reason + "; spooling to " + spool_.path());
    away_ = true;
    wasAway_ = true;
    retryAt_ = steadyNow + retryMs_;
}

std::string BatchKeeper::lostText() const {
    const long long others = lostRecordsAway_ - lostFramesAway_;
    return grouped(lostFramesAway_) + " frames" +
           (others > 0 ? " and " + grouped(others) + " other records" : std::string()) + " lost";
}

void BatchKeeper::cameBack() {
    if (!wasAway_ && backBatches_ == 0 && lostRecordsAway_ == 0)
        return;
    std::string text = "store back";
    if (backBatches_ > 0)
        text += ": " + grouped(backBatches_) + " batches (" + grouped(backRecords_) +
                " records) written from the spool";
    if (lostRecordsAway_ > 0)
        text += "; " + lostText() + " while the spool was full";
    say_(text);
    wasAway_ = false;
    backBatches_ = backRecords_ = 0;
    lostFramesAway_ = lostRecordsAway_ = lostSaid_ = 0;
}

void BatchKeeper::sayNotes() {
    while (notesSaid_ < spool_.notes().size())
        say_(spool_.notes()[notesSaid_++]);
}

void BatchKeeper::keep(const Batch &batch, Millis steadyNow) {
    if (batch.empty())
        return;
    if (spool_.empty() && (!away_ || steadyNow >= retryAt_) && tryStore(batch, steadyNow)) {
        away_ = false;
        cameBack();
        return;
    }
    toSpool(batch, steadyNow);
}

void BatchKeeper::toSpool(const Batch &batch, Millis steadyNow) {
    const long long frames = static_cast<long long>(batch.frames.size());
    const long long records = static_cast<long long>(batch.size());
    long long lostFrames = 0, lostRecords = 0;
    switch (spool_.put(batch)) {
    case Spool::Kept::Whole:
        break;
    case Spool::Kept::WithoutFrames:
        lostFrames = lostRecords = frames;
        break;
    case Spool::Kept::Nothing:
        lostFrames = frames;
        lostRecords = records;
        break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lostRecords < records) {
            ++figures_.spooledBatches;
            figures_.spooledRecords += records - lostRecords;
        }
        figures_.lostFrames += lostFrames;
        figures_.lostRecords += lostRecords;
    }
    if (lostRecords == 0)
        return;
    lostFramesAway_ += lostFrames;
    lostRecordsAway_ += lostRecords;
    if (lostSaid_ == 0 || steadyNow - lostSaidAt_ >= LOSS_SAID_EVERY) {
        const std::string &problem = spool_.writeProblem();
        say_("store away: " + lostText() + ", " +
             (problem.empty() ? "the spool is full" : "the spool cannot be written: " + problem));
        lostSaid_ = lostRecordsAway_;
        lostSaidAt_ = steadyNow;
    }
}

void BatchKeeper::writeBack(Millis steadyNow, int budgetMs) {
    sayNotes();
    if (spool_.empty() || (away_ && steadyNow < retryAt_))
        return;
    const Millis started = steadyMillis();
    while (std::optional<Batch> batch = spool_.front()) {
        sayNotes();
        if (!tryStore(*batch, steadyNow))
            return;
        spool_.pop();
        away_ = false;
        ++backBatches_;
        backRecords_ += static_cast<long long>(batch->size());
        if (steadyMillis() - started >= budgetMs)
            break;
    }
    sayNotes();
    if (spool_.empty())
        cameBack();
}

Writer::Writer(Store &store, Spool &spool, MessageQueue &queue, WriterSettings settings,
               BatchKeeper::Say say)
    : store_(store), spool_(spool), queue_(queue), settings_(settings), say_(say),
      keeper_(store, spool, say, settings.retryMs) {}

Writer::~Writer() {
    stop();
}

void Writer::start() {
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void Writer::stop() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    queue_.wake();
    thread_.join();
}

Writer::Figures Writer::figures() const {
    Figures f;
    f.kept = keeper_.figures();
    std::lock_guard<std::mutex> lock(mutex_);
    f.taken = taken_;
    f.foreign = foreign_;
    f.inSpool = inSpool_;
    return f;
}

void Writer::expire() {
    try {
        const Expired gone = store_.expire(nowMillis(), settings_.retention);
        if (gone.frames > 0 || gone.minuteRollups > 0)
            say_("retention: " + grouped(gone.frames) + " frames older than " +
                 std::to_string(settings_.retention.rawDays) + " days and " +
                 grouped(gone.minuteRollups) + " minute roll-ups older than " +
                 std::to_string(settings_.retention.minuteDays) + " days dropped");
    } catch (const std::exception &e) {
        say_(std::string("retention: nothing dropped, the store is away: ") + e.what());
    }
}

void Writer::handOver(Millis steadyNow) {
    keeper_.keep(batch_, steadyNow);
    batch_ = Batch{};
}

void Writer::take(const std::deque<Message> &messages, Millis steadyNow) {
    for (const Message &m : messages) {
        if (batch_.empty())
            batchStarted_ = steadyNow;
        ingest_.take(m.topic, m.payload, m.arrival, batch_);
        if (batch_.size() >= settings_.batchRecords)
            handOver(steadyNow);
    }
}

// The first message passed over at once, then at most one a minute.
void Writer::sayForeign(Millis steadyNow) {
    const long long foreign = ingest_.foreign();
    if (foreign == foreignSaid_ ||
        (foreignSaid_ > 0 && steadyNow - foreignSaidAt_ < FOREIGN_SAID_EVERY))
        return;
    say_("passed over " + grouped(foreign) + (foreign == 1 ? " message" : " messages") +
         " not shaped as the publisher's; the last: " + ingest_.lastForeign());
    foreignSaid_ = foreign;
    foreignSaidAt_ = steadyNow;
}

void Writer::run() {
    expire();
    expireAt_ = steadyMillis() + settings_.expireEveryMs;
    while (!stopping_) {
        int wait = TAKE_WAIT_MS;
        if (!batch_.empty())
            wait = static_cast<int>(std::max<Millis>(
                0, std::min<Millis>(wait, batchStarted_ + settings_.batchMs - steadyMillis())));
        const std::deque<Message> messages = queue_.take(wait);
        Millis now = steadyMillis();
        take(messages, now);
        if (!batch_.empty() && now - batchStarted_ >= settings_.batchMs)
            handOver(now);
        keeper_.writeBack(now, WRITE_BACK_SLICE_MS);
        sayForeign(now);
        if (now >= expireAt_) {
            expire();
            expireAt_ = now + settings_.expireEveryMs;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        taken_ = ingest_.taken();
        foreign_ = ingest_.foreign();
        inSpool_ = spool_.records();
    }
    // The subscription has stopped: what it left, and the open roll-ups.
    const Millis now = steadyMillis();
    take(queue_.take(0), now);
    ingest_.flush(batch_);
    handOver(now);
    keeper_.writeBack(now, WRITE_BACK_AT_STOP_MS);
    sayForeign(now + FOREIGN_SAID_EVERY);
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = ingest_.taken();
    foreign_ = ingest_.foreign();
    inSpool_ = spool_.records();
}

} // namespace historian
