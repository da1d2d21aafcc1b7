// Program-wide state with its start values; InitVars sets the defaults again
// at start-up.
#include "shell/globals.h"

unsigned short power, rs232Mode, vThd, bVal, polarity, eMode, eBeg, eEnd;
unsigned short tVal, tTol, iGain, ePoti, ccdMode, pStart, anaMode, para15;

unsigned short Ledge, Redge, Mvalue, pix1, edcnt, mvstart, mvend, pixdelta;
unsigned short anaMax, anaMin, in0;

unsigned short ccdmaxpixel = 1024, ccdtype, ccdresolution;
unsigned short pixB = 1, pixE = 1024;

int panelHandle;
int panelPopUp;
unsigned short hidePopUp = 1;

int com = 1;
int sync = 0x55;
int order = 1;
int target = RAM;
int rx_flag;
int graphrefresh;
int stop_flag = 1;
double tstart, tdiff;
int nBytesW, nBytesR;
int ret;
unsigned short pp[PNUM];
char szWriteBuf[1024];
char szReadBuf[1024];

char szStatus[STATUS_LEN];
char szVersion[STATUS_LEN];
char proj_dir[260];
char file_name[260];

unsigned short adcbuf[256];
unsigned short xArray[256];
unsigned short thdArray[256];
double arrayNORM[500];
