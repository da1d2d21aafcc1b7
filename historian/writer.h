// The historian's writer: one thread that takes the subscription's messages,
// makes records of them (Ingest) and hands the store a batch every 100 ms or
// 5,000 records, whichever comes first, off the subscription's thread. The
// keeper below decides where a batch goes: to the store, or to the spool
// while the store is away and until the spool is written back, so that the
// store receives every batch in the order it was made. Retention runs here
// too (at the start and every hour), as the store is the writer's alone.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "historian/ingest.h"
#include "historian/records.h"
#include "historian/spool.h"
#include "historian/store.h"
#include "historian/subscriber.h"

namespace historian {

// What became of the records: the summary line's figures.
struct KeptFigures {
    long long keptRecords = 0;    // in the store, directly or from the spool
    long long spooledBatches = 0; // went to the spool since the start
    long long spooledRecords = 0;
    long long lostFrames = 0, lostRecords = 0; // the spool could not hold them
};

// Where each batch goes. Not a thread of its own: the writer calls it.
class BatchKeeper {
  public:
    using Say = std::function<void(const std::string &text)>;
    BatchKeeper(Store &store, Spool &spool, Say say, int retryMs = 1000);

    // A new batch: to the store when it answers and nothing older waits in
    // the spool; else to the spool.
    void keep(const Batch &batch, Millis steadyNow);
    // Writes the spool back, oldest first, while the store takes it and for
    // at most `budgetMs`; when the store is away, only once a retry is due.
    void writeBack(Millis steadyNow, int budgetMs);

    bool away() const { return away_; }
    KeptFigures figures() const;

  private:
    bool tryStore(const Batch &batch, Millis steadyNow);
    void goAway(const std::string &reason, Millis steadyNow);
    void cameBack();
    void toSpool(const Batch &batch, Millis steadyNow);
    std::string lostText() const;
    void sayNotes();

    Store &store_;
    Spool &spool_;
    Say say_;
    int retryMs_;
    bool away_ = false, wasAway_ = false;
    Millis retryAt_ = 0;
    std::size_t notesSaid_ = 0;
    long long backBatches_ = 0, backRecords_ = 0; // written back since the spool was last empty
    long long lostFramesAway_ = 0, lostRecordsAway_ = 0; // since the store was last back
    long long lostSaid_ = 0;                             // lostRecordsAway_ when last said
    Millis lostSaidAt_ = 0;
    mutable std::mutex mutex_; // figures_, read by other threads
    KeptFigures figures_;
};

struct WriterSettings {
    int batchMs = 100;
    std::size_t batchRecords = 5000;
    int retryMs = 1000;
    Retention retention;
    Millis expireEveryMs = 3600 * 1000;
};

class Writer {
  public:
    Writer(Store &store, Spool &spool, MessageQueue &queue, WriterSettings settings,
           BatchKeeper::Say say);
    ~Writer(); // stop()
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void start();
    // Once the subscription has stopped: takes what is left in the queue,
    // hands out the open roll-ups, and commits all of it, or spools it.
    void stop();

    struct Figures {
        long long taken = 0, foreign = 0;
        KeptFigures kept;
        std::size_t inSpool = 0; // records waiting in the spool
    };
    Figures figures() const;

  private:
    void run();
    void take(const std::deque<Message> &messages, Millis steadyNow);
    void handOver(Millis steadyNow);
    void expire();
    void sayForeign(Millis steadyNow);

    Store &store_;
    Spool &spool_;
    MessageQueue &queue_;
    WriterSettings settings_;
    BatchKeeper::Say say_;
    BatchKeeper keeper_;
    Ingest ingest_; // the writer thread's only, like the batch
    Batch batch_;
    Millis batchStarted_ = 0, expireAt_ = 0, foreignSaidAt_ = 0;
    long long foreignSaid_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_; // the figures below, read by other threads
    long long taken_ = 0, foreign_ = 0;
    std::size_t inSpool_ = 0;
};

// Milliseconds of the steady clock, for the writer's deadlines.
Millis steadyMillis();

} // namespace historian
