// One block of the video signal as the Data loop reads it: the samples go
// into adcbuf, the result to the status line.
#include "link/exchanges.h"
#include "link/result_text.h"
#include "link/transactions.h"
#include "shell/globals.h"
#include "shell/status_line.h"

int ReadData64(int start, int lastBlock) {
    unsigned short samples[VIDEO_BLOCK_SAMPLES];
    const ExchangeOutcome outcome = VideoBlockExchange(start, lastBlock, samples);
    PutResult(outcome.text);
    for (int i = 0; i < VIDEO_BLOCK_SAMPLES; i++) {
        int index = start + i;
        if (index >= 0 && index < 256)
            adcbuf[index] = samples[i];
    }
    ShowStatus();
    return outcome.result;
}
