// The four parameter sets the compare window shows side by side and where
// they differ from the panels. Plain data: tests and the window fill it, the
// window only shows it.
#pragma once

#include <QString>

#include <array>
#include <vector>

#include "shell/globals.h"

namespace compare {

// The columns of values, in the order the window shows them.
enum class Column { Panel, Ram, Eeprom, File };
constexpr int kColumnCount = 4;
constexpr std::array<Column, kColumnCount> kColumns = {Column::Panel, Column::Ram, Column::Eeprom,
                                                       Column::File};

// Sixteen words in block order (power first, para15 last).
using ParameterSet = std::array<unsigned short, PNUM>;

// One value of a column that is not the panel's.
struct Cell {
    int word;
    Column column;
    bool operator==(const Cell &other) const {
        return word == other.word && column == other.column;
    }
};

class ParameterComparison {
  public:
    void setValues(Column column, const ParameterSet &values);
    // The column could not be read; `why` is what the window shows instead.
    void setFailure(Column column, const QString &why);

    bool hasValues(Column column) const;
    const ParameterSet &values(Column column) const;
    QString failure(Column column) const; // empty unless the last read failed

    // True when the column and the panel column both hold values and word
    // `word` differs between them.
    bool differs(Column column, int word) const;
    // Every differing cell, word by word, columns in their order.
    std::vector<Cell> differences() const;

  private:
    struct Entry {
        bool read = false;
        ParameterSet values{};
        QString failure;
    };
    const Entry &entry(Column column) const { return columns_[static_cast<int>(column)]; }
    std::array<Entry, kColumnCount> columns_;
};

} // namespace compare
