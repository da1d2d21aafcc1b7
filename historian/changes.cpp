// The fields of an info in one table (name and how to read it as text), so
// that comparing two infos and listing a first one walk the same fields.
#include "historian/changes.h"

#include <functional>
#include <map>

#include "params/parameter_table.h"

namespace historian {

namespace {

struct Field {
    std::string name;
    std::function<std::string(const InfoRecord &)> text;
};

const std::vector<Field> &infoFields() {
    static const std::vector<Field> fields = [] {
        std::vector<Field> list{
            {"firmware", [](const InfoRecord &info) { return info.firmware; }},
            {"ccd", [](const InfoRecord &info) { return info.ccd; }},
            {"pixels", [](const InfoRecord &info) { return std::to_string(info.pixels); }},
        };
        for (int word = 0; word < PARAMETERS; ++word)
            list.push_back({parameterTable[word].name, [word](const InfoRecord &info) {
                                return std::to_string(info.parameters[word]);
                            }});
        return list;
    }();
    return fields;
}

ParameterChange change(const InfoRecord &after, const Field &field, std::string from) {
    return {after.sensor,    after.time,        field.name,
            std::move(from), field.text(after), after.program};
}

} // namespace

std::vector<ParameterChange> changesBetween(const InfoRecord &before, const InfoRecord &after) {
    std::vector<ParameterChange> changes;
    for (const Field &field : infoFields()) {
        std::string from = field.text(before);
        if (from != field.text(after))
            changes.push_back(change(after, field, std::move(from)));
    }
    return changes;
}

std::vector<ParameterChange> parameterChanges(const std::vector<InfoRecord> &infos,
                                              FirstInfo first) {
    std::vector<ParameterChange> changes;
    std::map<std::string, const InfoRecord *> before; // by sensor
    for (const InfoRecord &info : infos) {
        const InfoRecord *&previous = before[info.sensor];
        if (previous) {
            for (ParameterChange &c : changesBetween(*previous, info))
                changes.push_back(std::move(c));
        } else if (first == FirstInfo::ListsEveryField) {
            for (const Field &field : infoFields())
                changes.push_back(change(info, field, ""));
        }
        previous = &info;
    }
    return changes;
}

} // namespace historian
