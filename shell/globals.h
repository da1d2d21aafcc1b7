// Program-wide state. Every variable is statically allocated; the owning
// module is noted with each group.
#pragma once

// The C library declares a function sync() in <unistd.h>. The telegram's sync
// word keeps its name in the program's code through this alias; <unistd.h>
// is included first so that its declaration is never renamed. Windows has
// neither the header nor the function.
#ifndef _WIN32
#include <unistd.h>
#endif
#define sync vexa_sync_word

// ---- constants ---------------------------------------------------------------
constexpr int PNUM = 16;                   // words in the parameter block
constexpr int TELEGRAM_LEN = PNUM * 2 + 4; // 36 bytes per request and reply
constexpr int RAM = 1;
constexpr int EEPROM = 2;
constexpr int DATFILE = 3;
constexpr int eventMask = 0x8006;
constexpr double TIMEOUT = 1.5;
constexpr int STATUS_LEN = 72;

// ---- the sensor's sixteen parameters (panel binding) ---------------------------
extern unsigned short power, rs232Mode, vThd, bVal, polarity, eMode, eBeg, eEnd;
extern unsigned short tVal, tTol, iGain, ePoti, ccdMode, pStart, anaMode, para15;

// ---- measurement frame (live loop) ---------------------------------------------
extern unsigned short Ledge, Redge, Mvalue, pix1, edcnt, mvstart, mvend, pixdelta;
extern unsigned short anaMax, anaMin, in0;

// ---- CCD geometry ----------------------------------------------------------------
extern unsigned short ccdmaxpixel, ccdtype, ccdresolution;
extern unsigned short pixB, pixE;

// ---- panels ----------------------------------------------------------------------
extern int panelHandle;
extern int panelPopUp;
extern unsigned short hidePopUp;

// ---- sensor link -----------------------------------------------------------------
extern int com;
extern int sync;
extern int order;
extern int target;
extern int rx_flag;
extern int graphrefresh;
extern int stop_flag;
extern double tstart, tdiff;
extern int nBytesW, nBytesR;
extern int ret;
extern unsigned short pp[PNUM];
extern char szWriteBuf[1024];
extern char szReadBuf[1024];

// ---- texts and files -------------------------------------------------------------
extern char szStatus[STATUS_LEN];
extern char szVersion[STATUS_LEN];
extern char proj_dir[260];
extern char file_name[260];

// ---- video and trend arrays --------------------------------------------------------
extern unsigned short adcbuf[256];
extern unsigned short xArray[256];
extern unsigned short thdArray[256];
extern double arrayNORM[500];
