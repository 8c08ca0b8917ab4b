#pragma once

#include <QString>
#include <QtGlobal>

namespace quarvex {

// The five kinds of database object the program lists and scripts, in the
// order of their script files.
enum class ObjectKind { Table, Proc, Trigger, View, Function };

// What a list entry stands for. It travels with the entry as item data, so
// the script run never has to parse names back out of the entry's text.
struct ObjectRef {
    ObjectKind kind = ObjectKind::Table;
    QString name;
    QString owner;
    qint32 id = 0;
    // A table's row filter: a SQL condition over its columns, empty for
    // every row. Set per run, never saved.
    QString rowFilter;

    friend bool operator==(const ObjectRef&, const ObjectRef&) = default;
};

// One line of the object list: its text and the object behind it.
struct ListEntry {
    QString text;
    ObjectRef object;

    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

} // namespace quarvex
