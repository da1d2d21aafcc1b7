#include "runtime/reply_wait.h"

namespace rt {

namespace {

ReplyWait waitOfThisRun = ReplyWait::Paced;

} // namespace

ReplyWait replyWait() {
    return waitOfThisRun;
}

void setReplyWait(ReplyWait wait) {
    waitOfThisRun = wait;
}

} // namespace rt
