// Telegram codec. A request is the sync word, the order code and the sixteen
// words of the parameter block; a reply is the header word 0x00AA, the order
// echo and sixteen data words. Every word high byte first.
#include "link/telegram.h"

#include "params/parameter_table.h"
#include "shell/globals.h"

unsigned short BytesToWord(const char *bytes) {
    return static_cast<unsigned short>((static_cast<unsigned char>(bytes[0]) << 8) |
                                       static_cast<unsigned char>(bytes[1]));
}

void WordToBytes(unsigned short word, char *bytes) {
    bytes[0] = static_cast<char>((word >> 8) & 0xFF);
    bytes[1] = static_cast<char>(word & 0xFF);
}

void CopyVarsToPP(void) {
    for (int i = 0; i < PNUM; i++)
        pp[i] = *parameterTable[i].var;
}

void CopyPPtoVars(void) {
    for (int i = 0; i < PNUM; i++)
        *parameterTable[i].var = pp[i];
}

void FillTxBuf(unsigned short orderCode, const unsigned short *words) {
    WordToBytes(static_cast<unsigned short>(sync), &szWriteBuf[0]);
    WordToBytes(orderCode, &szWriteBuf[2]);
    for (int i = 0; i < PNUM; i++)
        WordToBytes(words[i], &szWriteBuf[4 + 2 * i]);
}

void GetRxBuf(int n) {
    if (n > PNUM)
        n = PNUM;
    for (int i = 0; i < n; i++)
        pp[i] = BytesToWord(&szReadBuf[4 + 2 * i]);
}
