// The sensor's sixteen parameters, declared once: their word in the parameter
// block, their name, the compare window's row text, their start value, their
// variable, their control and their range check. The codec packs and unpacks
// by word; the panel binding reads, checks and writes in its own orders, given
// here as lists of words; the start-up, vexa-tb-ctl and the compare window
// take names, start values and row texts from here.
#pragma once

constexpr unsigned short NO_CHECK = 0xFFFF; // "greater than 65535" never holds

struct ParameterEntry {
    const char *name;                   // the variable's name, as vexa-tb-ctl prints it
    const char *label;                  // the compare window's row (source text, context "compare")
    unsigned short start;               // the value SetDefaultValues gives the variable
    unsigned short *var;                // the parameter variable
    const int *panel;                   // &panelHandle or &panelPopUp; nullptr: no control
    int control;                        // control on that panel
    unsigned short upper;               // replaced when greater than this (NO_CHECK: never)
    unsigned short upperRepl;           // ... by this value
    const unsigned short *upperReplVar; // ... or, when set, by this variable's value
    unsigned short lower;               // then replaced when less than this (0: never)
    unsigned short lowerRepl;           // ... by this value
};

// Indexed by the word of the parameter block (the order of the telegram's
// data words and of a parameter file's lines).
extern const ParameterEntry parameterTable[16];

constexpr int TEACH_VALUE_WORD = 8; // tVal, what a teach sets

// Every parameter variable to its start value.
void SetParameterStartValues(void);

// The words GetPanelValues reads, in its order (para15 has no control).
constexpr int PANEL_READ_COUNT = 15;
extern const int panelReadOrder[PANEL_READ_COUNT];

// The words SetPanelValues checks, in its order (ccdMode and anaMode go
// unchecked).
constexpr int RANGE_CHECK_COUNT = 14;
extern const int rangeCheckOrder[RANGE_CHECK_COUNT];

// One control write of SetPanelValues: the value of word `word` plus `add`
// goes to `control` on `*panel`. Mirrors and the pixel-end indicator are
// extra writes of the same words.
struct PanelWrite {
    const int *panel;
    int control;
    int word;
    int add;
};
constexpr int PANEL_WRITE_COUNT = 18;
extern const PanelWrite panelWriteOrder[PANEL_WRITE_COUNT];

// Applies the range check of one word to its variable.
void CheckParameter(int word);

// Hands every checked parameter that has a control to `visit`, with the
// bounds its check keeps it in (for marks beside the panels).
using RangeBoundVisitor = void (*)(int panel, int control, unsigned short lower,
                                   unsigned short upper);
void ForEachRangeBound(RangeBoundVisitor visit);

// What the range check of word `word` makes of `value` (SetPanelValues would
// show it); no variable changes.
unsigned short CheckedValue(int word, unsigned short value);
