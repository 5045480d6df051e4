#include "properties_dialog.h"

#include "file_list_model.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace tressel {

namespace {

QString TimeText(const QDateTime& time) {
    return time.isValid() ? time.toString("yyyy-MM-dd HH:mm:ss") : QString();
}

// lstat: a link is described as the link, as the list shows it.
bool StatEntry(const QString& path, struct stat& st) {
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QWidget* MakePage(const PropertyLines& lines, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget(scroll);
    auto* form = new QFormLayout(page);
    for (const auto& [label, value] : lines) {
        auto* text = new QLabel(value, page);
        text->setTextFormat(Qt::PlainText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setWordWrap(true);
        form->addRow(label + ":", text);
    }
    scroll->setWidget(page);
    return scroll;
}

// The property names, translated as the dialog's own texts.
QString Label(const char* text) {
    return QCoreApplication::translate("tressel::CPropertiesDialog", text);
}

} // namespace

QString PermissionText(unsigned mode) {
    static const char kLetters[] = "rwx";
    QString text;
    for (int bit = 8; bit >= 0; --bit)
        text += (mode & (1u << bit)) ? QChar(kLetters[(8 - bit) % 3]) : QChar('-');
    return text + QString(" (%1)").arg(mode & 0777, 3, 8, QChar('0'));
}

PropertyLines EntryProperties(const EntryFacts& facts) {
    PropertyLines lines;
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Path")), facts.path);
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Type")),
                       facts.typeName);
    struct stat st {};
    const bool known = StatEntry(facts.path, st);
    const QFileInfo info(facts.path);
    const bool folder = known && S_ISDIR(st.st_mode);
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Size")),
                       !known || folder
                           ? QString()
                           : GroupThousands(static_cast<unsigned long long>(st.st_size)) +
                                 Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", " Bytes")));
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Modified")),
                       TimeText(info.lastModified()));
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Accessed")),
                       TimeText(info.lastRead()));
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Changed")),
                       TimeText(info.metadataChangeTime()));
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Created")),
                       TimeText(info.birthTime()));
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Permissions")),
                       known ? PermissionText(st.st_mode) : QString());
    lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Owner")),
                       known ? info.owner() + ":" + info.group() : QString());
    if (!facts.reason.isEmpty())
        lines.emplace_back(Label(QT_TRANSLATE_NOOP("tressel::CPropertiesDialog", "Not read")),
                           facts.reason);
    for (qsizetype i = 0; i < facts.headers.size(); ++i) {
        const QString value = i < facts.values.size() ? facts.values[i] : QString();
        const QString label = i < facts.labels.size() ? facts.labels[i] : QString();
        lines.emplace_back(facts.headers[i],
                           label.isEmpty() || value.isEmpty() ? value : label + ": " + value);
    }
    return lines;
}

CPropertiesDialog::CPropertiesDialog(const std::vector<EntryFacts>& entries, int total,
                                     QWidget* parent)
    : QDialog(parent) {
    setObjectName("properties");
    setAttribute(Qt::WA_DeleteOnClose);
    const int shown = std::min<int>(static_cast<int>(entries.size()), kMaxTabs);
    if (total == 1 && !entries.empty())
        setWindowTitle(QFileInfo(entries.front().path).fileName() + tr(" Properties"));
    else if (shown < total)
        setWindowTitle(tr("Properties of the first %1 of %2 entries").arg(shown).arg(total));
    else
        setWindowTitle(tr("Properties of %1 entries").arg(total));

    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setUsesScrollButtons(true);
    for (int i = 0; i < shown; ++i) {
        const EntryFacts& facts = entries[static_cast<size_t>(i)];
        m_tabs->addTab(MakePage(EntryProperties(facts), m_tabs), QFileInfo(facts.path).fileName());
    }
    layout->addWidget(m_tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 560);
}

} // namespace tressel
