// Cursors 2 and 3 of the edge graph follow the window-edge numerics.
#include "display/edge_window.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

namespace {

constexpr int LEFT_EDGE_CURSOR = 2;
constexpr int RIGHT_EDGE_CURSOR = 3;
constexpr double CURSOR_Y = 1.0;

} // namespace

int CC_NEDITEdgeLeft(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                     int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    unsigned short left = 0;
    GetCtrlVal(panelHandle, NEDITEdgeLeft, &left);
    SetGraphCursor(panelHandle, GRAPH_Raw, LEFT_EDGE_CURSOR, left, CURSOR_Y);
    return 0;
}

int CC_NEDITEdgeRight(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                      int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    unsigned short right = 0;
    GetCtrlVal(panelHandle, NEDITEdgeRight, &right);
    if (right > ccdmaxpixel) {
        right = ccdmaxpixel;
        eEnd = ccdmaxpixel;
        SetCtrlVal(panelHandle, NEDITEdgeRight, right);
    }
    SetGraphCursor(panelHandle, GRAPH_Raw, RIGHT_EDGE_CURSOR, right, CURSOR_Y);
    return 0;
}
