// Row texts of the compare window. The names, bounds and replacements come
// from the parameter table, so the window says what the range checks do.
#include "compare/parameter_rows.h"

#include <QCoreApplication>

#include "params/parameter_table.h"

namespace compare {

namespace {

// The row texts (the parameter table's labels) and the texts below are
// translated in the context "compare".
QString tr(const char *text) {
    return QCoreApplication::translate("compare", text);
}

bool checked(int word) {
    return parameterTable[word].upper != NO_CHECK;
}

} // namespace

QString parameterName(int word) {
    return tr(parameterTable[word].label);
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
