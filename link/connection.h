// The one serial connection to the sensor and its receive path.
#pragma once

void InitRS232(int port);
void RX_Receive_Function(int portNumber, int eventWord, void *callbackData);
int CC_DropDCom(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);

// Status text for a failed open, by the open's error code.
const char *OpenErrorText(int code);

// The receive callback is switched off while a long reply (firmware text,
// video blocks) is awaited, so the bytes stay in the input queue.
void ReceiveCallbackOff(void);
// Installs the receive callback again as at connect, then flushes the input
// queue, lets pending output leave and clears rx_flag.
void ReceiveCallbackOn(void);
