// Telegram codec: the parameter block and the 36-byte request/reply layout.
#pragma once

void CopyVarsToPP(void);
void CopyPPtoVars(void);
void FillTxBuf(unsigned short orderCode, const unsigned short *words);
void GetRxBuf(int n);

// Every word on the line is sent high byte first.
unsigned short BytesToWord(const char *bytes); // bytes[0] high, bytes[1] low
void WordToBytes(unsigned short word, char *bytes);
