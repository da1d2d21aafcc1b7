// The one serial connection to the sensor and its receive path.
#pragma once

void InitRS232(int port);
void RX_Receive_Function(int portNumber, int eventWord, void *callbackData);
int CC_DropDCom(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);

// The first steps of the connect sequence, for programs that run the
// exchanges without it: the open with the fixed settings (19200 baud, 8N1,
// queues of 4096 bytes; negative: the open's error code) and, after a
// successful open, the 2.0 s port time-out, both queues flushed, no hardware
// handshake and the receive callback installed.
int OpenSensorPort(int port);
void SetUpSensorPort(int port);

// Status text for a failed open, by the open's error code.
const char *OpenErrorText(int code);

// The receive callback is switched off while a long reply (firmware text,
// video blocks) is awaited, so the bytes stay in the input queue.
void ReceiveCallbackOff(void);
// Installs the receive callback again as at connect, then flushes the input
// queue, lets pending output leave and clears rx_flag.
void ReceiveCallbackOn(void);
