// How the Linux path waits for a reply on a line that has shown its pace.
//
//   Paced  wakes a byte's time before the reply's last byte is due and takes
//          it as it comes, so that the next request leaves at once: the
//          window, where the line's pace is what counts.
//   Due    sleeps until the last byte is due and wakes once for the reply,
//          for up to an alarm's lateness more per exchange: in a virtual
//          machine, where every wake-up is dear, a monitor's loop took
//          about half the processor time. A monitor that runs for months
//          beside many others.
//
// A reply whose last bytes come later than due (a UART's FIFO, a USB
// adapter's latency timer) is taken as it comes either way.
#pragma once

namespace rt {

enum class ReplyWait { Paced, Due };

ReplyWait replyWait();
// For ports opened from now on and for those open.
void setReplyWait(ReplyWait wait);

} // namespace rt
