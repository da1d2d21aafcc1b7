#include "link/result_text.h"

#include <cstring>

#include "shell/globals.h"

void PutResult(const char *text) {
    if (text == nullptr || text == szStatus)
        return;
    std::strncpy(szStatus, text, STATUS_LEN - 1);
    szStatus[STATUS_LEN - 1] = '\0';
}
