#pragma once

#include <Qt>

// The recordings table of the history page: its columns, the entries of each
// row's menu, and the data each row's name item carries.
namespace history {

enum Column {
    NameColumn,
    SizeColumn,
    DateColumn,
    DurationColumn,
    FormatColumn,
    ActionColumn,
    ColumnCount
};

enum MenuEntry {
    PlayEntry,
    LocateEntry,
    TrimEntry,
    CopyEntry,
    SeparatorEntry,
    DeleteEntry,
    DeleteAllEntry
};

// The file and the state it was shown in.
constexpr int PathRole = Qt::UserRole;
constexpr int SizeRole = Qt::UserRole + 1;
constexpr int ModifiedRole = Qt::UserRole + 2;
constexpr int BeingRecordedRole = Qt::UserRole + 3;

} // namespace history
