#include "SaveDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace {

SaveDialog::Responder& responder() {
    static SaveDialog::Responder r;
    return r;
}

} // namespace

SaveDialog::SaveDialog(QObject* parent) : QObject(parent) {}

void SaveDialog::SetResponder(Responder r) {
    responder() = std::move(r);
}

QString SaveDialog::QtFilter() const {
    const auto bar = Filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return Filter;
    // Qt reads the pattern from the parentheses; keep the description and give it the pattern.
    const QString description = Filter.left(bar);
    const QString pattern = Filter.mid(bar + 1);
    return description.contains(QLatin1Char('(')) && description.contains(pattern)
               ? description
               : description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

bool SaveDialog::Execute() {
    std::optional<QString> chosen;
    if (responder()) {
        chosen = responder()(*this);
    } else {
        QFileDialog dialog(QApplication::activeWindow(), QString(), InitialDir, QtFilter());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setSizeGripEnabled(true);
        dialog.selectFile(FileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}
