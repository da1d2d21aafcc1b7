// Row texts of the compare window. The bounds and replacements come from the
// parameter table, so the window says what the range checks do.
#include "compare/parameter_rows.h"

#include <QCoreApplication>

#include "params/parameter_table.h"
#include "shell/globals.h"

namespace compare {

namespace {

// Indexed by word, as the parameter table; the names the panels' labels use.
const char *const NAMES[PNUM] = {
    QT_TRANSLATE_NOOP("compare", "Power"),
    QT_TRANSLATE_NOOP("compare", "RS-232 mode"),
    QT_TRANSLATE_NOOP("compare", "Video threshold"),
    QT_TRANSLATE_NOOP("compare", "B value"),
    QT_TRANSLATE_NOOP("compare", "Polarity"),
    QT_TRANSLATE_NOOP("compare", "Edge mode"),
    QT_TRANSLATE_NOOP("compare", "Edge left"),
    QT_TRANSLATE_NOOP("compare", "Edge right"),
    QT_TRANSLATE_NOOP("compare", "Teach value"),
    QT_TRANSLATE_NOOP("compare", "Tolerance"),
    QT_TRANSLATE_NOOP("compare", "Video gain"),
    QT_TRANSLATE_NOOP("compare", "Enable tolerance"),
    QT_TRANSLATE_NOOP("compare", "CCD mode"),
    QT_TRANSLATE_NOOP("compare", "Pixel start"),
    QT_TRANSLATE_NOOP("compare", "Analogue mode"),
    QT_TRANSLATE_NOOP("compare", "Parameter 15 (not on the panels)"),
};

QString tr(const char *text) {
    return QCoreApplication::translate("compare", text);
}

bool checked(int word) {
    return parameterTable[word].upper != NO_CHECK;
}

} // namespace

QString parameterName(int word) {
    return tr(NAMES[word]);
}

QString rangeText(int word) {
    if (!checked(word))
        return tr("unchecked");
    const ParameterEntry &p = parameterTable[word];
    return QStringLiteral("%1-%2").arg(p.lower).arg(p.upper);
}

QString replacementText(int word) {
    if (!checked(word))
        return QStringLiteral("-");
    const ParameterEntry &p = parameterTable[word];
    if (p.upperReplVar)
        return tr("%1 (pixels of the CCD)").arg(*p.upperReplVar);
    if (p.lower != 0)
        return tr("%1 above, %2 below").arg(p.upperRepl).arg(p.lowerRepl);
    return QString::number(p.upperRepl);
}

QString replacedNote(int word, unsigned short value) {
    const unsigned short shown = CheckedValue(word, value);
    if (shown == value)
        return QString();
    return tr("Out of range: a Get shows %1").arg(shown);
}

} // namespace compare
