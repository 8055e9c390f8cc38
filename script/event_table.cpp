#include "script/event_table.h"

int EventIdFromName(WStringView name) {
    for (const ScriptEventRow& row : ScriptEventTable)
        if (text::EqualsNoCase(name, row.name)) return row.id;
    return 0;
}

const char16_t* EventNameFromId(int id) {
    for (const ScriptEventRow& row : ScriptEventTable)
        if (row.id == id) return row.name;
    return nullptr;
}
