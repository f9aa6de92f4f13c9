#include "ClipboardImage.h"

#include "VelaError.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QMimeData>
#include <QSaveFile>
#include <QUrl>

namespace ClipboardImage {

namespace {

// Encoded formats in the order preferred: lossless first. The extension makes the work file
// an image file for the window's extension test.
struct Encoded {
    const char* mime;
    const char* extension;
};
constexpr Encoded EncodedFormats[] = {
    {"image/png", ".png"},  {"image/bmp", ".bmp"}, {"image/x-bmp", ".bmp"},
    {"image/tiff", ".tif"}, {"image/gif", ".gif"}, {"image/jpeg", ".jpg"},
};

QString write(const QString& folder, const QString& extension, const QByteArray& bytes) {
    const QString path = QDir(folder).filePath(QStringLiteral("zClip") + extension);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EFileError(QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString()));
    return path;
}

} // namespace

QStringList Files(const QMimeData& data, const QString& folder) {
    if (data.hasUrls()) {
        QStringList files;
        for (const QUrl& url : data.urls())
            if (url.isLocalFile())
                files.append(url.toLocalFile());
        if (!files.isEmpty())
            return files;
    }
    const QStringList offered = data.formats();
    for (const Encoded& format : EncodedFormats) {
        const QString mime = QLatin1String(format.mime);
        if (!offered.contains(mime))
            continue;
        const QByteArray bytes = data.data(mime);
        if (!bytes.isEmpty())
            return {write(folder, QLatin1String(format.extension), bytes)};
    }
    if (!data.hasImage())
        return {};
    const QImage image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull())
        return {};
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            throw EFileError(QStringLiteral("クリップボードの画像を保存できません"));
    }
    return {write(folder, QStringLiteral(".png"), png)};
}

} // namespace ClipboardImage
