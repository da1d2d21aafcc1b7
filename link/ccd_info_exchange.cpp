// CCD info, order 10: the sensor answers with the echo 10 and, in data words
// 0 to 2, the kind of its CCD line, the number of pixels and a resolution code.
#include "link/exchanges.h"
#include "link/reply_wait.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "shell/globals.h"

namespace {
constexpr unsigned short LENS_RESOLUTION = 750; // type 2 with the optical lens
}

// The micro sign is the single byte 0xB5.
const char *CCDDescription(unsigned short type, unsigned short resolution) {
    switch (type) {
    case 1:
        return "  CCD-SENSOR: 1024 pixel; 7.8\xB5m pixel-pitch, 8.0mm working range";
    case 2:
        if (resolution == LENS_RESOLUTION)
            return "  CCD-SENSOR: 1024 pixel; 25\xB5m pixel-pitch, opt.-lense, 75mm working range";
        return "  CCD-SENSOR: 1024 pixel; 25\xB5m pixel-pitch, 25,4mm working range";
    case 3:
        return "  CCD-SENSOR: 512 pixel; 25\xB5m pixel-pitch, 12,8mm working range";
    default:
        return "  CCD-SENSOR: no information avialable!";
    }
}

ExchangeOutcome CcdInfoExchange(CcdInfo *info) {
    ExchangeOutcome outcome{0, nullptr};
    if (RequestAndAwaitReply(com, ORDER_CCD_INFO))
        outcome.text = "Timeout-RS-232...";

    // A reply delivered in the very pass the time ran out still counts.
    if (rx_flag == 1) {
        // Taken before the echo is looked at.
        info->type = BytesToWord(&szReadBuf[4]);
        info->maxPixel = BytesToWord(&szReadBuf[6]);
        info->resolution = BytesToWord(&szReadBuf[8]);
        if (BytesToWord(&szReadBuf[2]) == ORDER_CCD_INFO)
            outcome.result = 1;
    }
    return outcome;
}
