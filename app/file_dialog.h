// The one open-file dialog both local-file buttons share. It takes its filter in the
// "description|patterns|description|patterns" form and offers the last confirmed path again.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace quill {

// Qt name filters for a "description|patterns|..." text: each description keeps its own text
// and gets its patterns (";"-separated) appended in the form Qt matches.
QStringList NameFiltersFromFilterText(const QString& filter);

class FileOpenDialog {
  public:
    void SetFilter(const QString& filter) { filter_ = filter; }
    QString Filter() const { return filter_; }

    // Modal; true when the user confirmed an existing file. `validate` may refuse the confirmed
    // path (and say why); the dialog then counts as cancelled and keeps the earlier path.
    bool Open(QWidget* parent, const std::function<bool(const QString&)>& validate = {});
    // The last confirmed full path.
    QString FileName() const { return fileName_; }

  private:
    QString filter_;
    QString fileName_;
};

}  // namespace quill
