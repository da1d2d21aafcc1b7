// What vexa-tb-ctl ends with, for scripts.
#pragma once

namespace ctl {

enum ExitCode : int {
    ExitSuccess = 0,
    // The sensor failed (no reply, wrong header or echo, short reply, failed
    // verify) or the device could not be opened; the reason is on stderr.
    ExitSensorFailed = 1,
    // A bad command line or an unusable file, found before anything is
    // sent; also an output file that fails during a capture.
    ExitUsage = 2,
};

} // namespace ctl
