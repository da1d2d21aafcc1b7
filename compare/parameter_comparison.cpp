// The compare window's data: four parameter sets and their differences.
#include "compare/parameter_comparison.h"

namespace compare {

void ParameterComparison::setValues(Column column, const ParameterSet &values) {
    columns_[static_cast<int>(column)] = {true, values, QString()};
}

void ParameterComparison::setFailure(Column column, const QString &why) {
    columns_[static_cast<int>(column)] = {false, ParameterSet{}, why};
}

bool ParameterComparison::hasValues(Column column) const {
    return entry(column).read;
}

const ParameterSet &ParameterComparison::values(Column column) const {
    return entry(column).values;
}

QString ParameterComparison::failure(Column column) const {
    return entry(column).failure;
}

bool ParameterComparison::differs(Column column, int word) const {
    if (column == Column::Panel || !hasValues(column) || !hasValues(Column::Panel))
        return false;
    return values(column)[word] != values(Column::Panel)[word];
}

std::vector<Cell> ParameterComparison::differences() const {
    std::vector<Cell> cells;
    for (int word = 0; word < PNUM; word++)
        for (Column column : kColumns)
            if (differs(column, word))
                cells.push_back({word, column});
    return cells;
}

} // namespace compare
