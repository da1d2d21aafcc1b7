// Records the callbacks the run-time delivers, under every name the panel
// file attaches.
#pragma once

#include <vector>

#include "runtime/runtime.h"

struct RecordedEvent {
    int panel, control, event;
    bool operator==(const RecordedEvent &o) const {
        return panel == o.panel && control == o.control && event == o.event;
    }
};

inline std::vector<RecordedEvent> &recorded() {
    static std::vector<RecordedEvent> events;
    return events;
}

inline int recordControl(int panel, int control, int event, void *, int, int) {
    recorded().push_back({panel, control, event});
    return 0;
}

inline int recordPanel(int panel, int event, void *, int, int) {
    recorded().push_back({panel, -1, event});
    return 0;
}

inline void registerRecorders() {
    static const char *names[] = {"CC_DropDCom",
                                  "CC_RBTFile",
                                  "CC_RBTEeprom",
                                  "CC_RBTRam",
                                  "CC_NEDITVideoThreshold",
                                  "CC_NEDITEdgeRight",
                                  "CC_NEDITEdgeLeft",
                                  "CC_BTNRun",
                                  "CC_BTNStop",
                                  "CC_BTNData",
                                  "CC_BTNSend",
                                  "CC_BTNGet",
                                  "CC_ButtonTeach",
                                  "CC_ButtonReset",
                                  "CC_BTN_CCDSettings",
                                  "CC_RING_CCDMode",
                                  "CC_NSLIDE_PixelStart",
                                  "CC_BIN_Sw_EnableTol",
                                  "CC_NEDITTolerance",
                                  "CC_NEDITTeach",
                                  "CC_BIN_Switch_VGain"};
    std::vector<CallbackEntry> table;
    for (const char *name : names)
        table.push_back({name, recordControl, nullptr});
    table.push_back({"CC_PANEL", nullptr, recordPanel});
    RegisterCallbacks(table.data(), static_cast<int>(table.size()));
}
