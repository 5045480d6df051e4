#pragma once

// Our properties window for list entries: what the file system says of each entry
// and the nine information values the list read from it, one tab per entry.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class QTabWidget;

namespace tressel {

struct EntryFacts {
    QString path;
    QString typeName;
    QStringList headers;     // the information columns' names, 1 to 9
    QStringList values;      // their texts for this entry
    QStringList labels = {}; // the readers' names for those texts ("Artist"), may be empty
    QString reason = {};     // why no reader read the entry; empty when one did
};

using PropertyLines = std::vector<std::pair<QString, QString>>;

// Label and value lines: path, type, size, times, permissions, owner, why nothing was
// read (only when nothing was), then one line per information column, its value
// led by the value's label ("Artist: Radio Tressel") when the reader gave one.
PropertyLines EntryProperties(const EntryFacts& facts);

// "rwxr-x--- (750)" for a mode's permission bits.
QString PermissionText(unsigned mode);

class CPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // entries beyond kMaxTabs are counted in the title but get no tab.
    static constexpr int kMaxTabs = 100;

    CPropertiesDialog(const std::vector<EntryFacts>& entries, int total, QWidget* parent);
    QTabWidget* tabs() const { return m_tabs; }

private:
    QTabWidget* m_tabs = nullptr;
};

} // namespace tressel
