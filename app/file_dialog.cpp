#include "app/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace quill {

QStringList NameFiltersFromFilterText(const QString& filter) {
    const QStringList parts = filter.split(QChar('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts)) {
            patterns.append(pattern.trimmed());
        }
        patterns.removeAll(QString());
        if (patterns.isEmpty()) {
            continue;
        }
        // Qt reads the patterns from the last parentheses; the description is shown alone.
        filters.append(parts[i] + QStringLiteral(" (") + patterns.join(QChar(' ')) + QChar(')'));
    }
    return filters;
}

bool FileOpenDialog::Open(QWidget* parent, const std::function<bool(const QString&)>& validate) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("通用对话框1"));
    // Qt's own dialog: the same on every desktop, and it confirms only existing files.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Windows users expect *.jpg to list PHOTO.JPG too.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    const QStringList filters = NameFiltersFromFilterText(filter_);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    if (!fileName_.isEmpty()) {
        dialog.selectFile(fileName_);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.size() != 1 || !QFileInfo(chosen.front()).isFile()) {
        return false;
    }
    const QString path = QDir::cleanPath(QFileInfo(chosen.front()).absoluteFilePath());
    if (validate && !validate(path)) {
        return false;
    }
    fileName_ = path;
    return true;
}

}  // namespace quill
