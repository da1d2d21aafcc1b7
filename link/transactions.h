// Request/reply transactions with the sensor.
#pragma once

int CheckComLine(int port);
void PushGET(int transferTarget);
int GetVERSIONInfo(void);
int GetCCDInfo(void);
int ReadData64(int start, int lastBlock);
int CC_ButtonTeach(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_ButtonReset(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);

// Order codes of the requests.
constexpr unsigned short ORDER_WRITE_RAM = 1;
constexpr unsigned short ORDER_READ_RAM = 2;
constexpr unsigned short ORDER_WRITE_EEPROM = 3;
constexpr unsigned short ORDER_READ_EEPROM = 4;
constexpr unsigned short ORDER_ECHO = 5;
constexpr unsigned short ORDER_TEACH = 6;
constexpr unsigned short ORDER_FIRMWARE = 7;
constexpr unsigned short ORDER_FRAME = 8;
constexpr unsigned short ORDER_VIDEO_BLOCK = 9;
constexpr unsigned short ORDER_CCD_INFO = 10;
constexpr unsigned short ORDER_RESET_MAXMIN = 11;

// Wait limits, seconds (TIMEOUT for the others).
constexpr double FIRMWARE_TIMEOUT = 2.0;
constexpr double TEACH_TIMEOUT = 1.5;

// Long replies: the firmware text and a block of 64 video samples.
constexpr int FIRMWARE_REPLY_LEN = 72;
constexpr int VIDEO_BLOCK_LEN = 128;
constexpr int VIDEO_BLOCK_SAMPLES = 64;

// Line 0 of the CCD description text box for a CCD type and resolution.
const char *CCDDescription(unsigned short type, unsigned short resolution);
