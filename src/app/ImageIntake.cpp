#include "ImageIntake.h"

#include "FileDrop.h"
#include "MainForm.h"
#include "PageSource.h"

#include <QFileInfo>

namespace ImageIntake {

QString LowerExtension(const QString& fileName) {
    const QString name = fileName.toLower();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash)
        return {};
    return name.mid(dot);
}

namespace {

bool listed(const QString& fileName, const char* list) {
    const QString extension = LowerExtension(fileName);
    return !extension.isEmpty() && QString::fromLatin1(list).contains(extension);
}

} // namespace

bool IsImageFile(const QString& fileName) {
    return listed(fileName, ImageExtensions) || PageSource::IsDocumentFile(fileName);
}

bool IsTextFile(const QString& fileName) {
    return listed(fileName, TextExtensions);
}

TFileDrop* CreateFileDrop(TfrmMain& form) {
    auto* drop = new TFileDrop(&form);
    drop->OnFileDrop = [&form](TFileDrop* sender, int num, const QStringList& files, int x, int y) {
        form.FileDrop1FileDrop(sender, num, files, x, y);
    };
    drop->Loaded();
    return drop;
}

} // namespace ImageIntake
