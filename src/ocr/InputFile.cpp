#include "InputFile.h"

#include "VelaError.h"

#include <QFile>
#include <QFileInfo>
#include <new>

QByteArray ReadInputFile(const QString& fileName) {
    if (!QFileInfo(fileName).isFile())
        throw VelaError(QStringLiteral("Cannot open \"%1\": no such file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw VelaError(QStringLiteral("Cannot open \"%1\": %2").arg(fileName, file.errorString()));
    try {
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw VelaError(
                QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
        return bytes;
    } catch (const std::bad_alloc&) {
        throw VelaError(QStringLiteral("\"%1\" is too large: there is not enough memory to read it")
                            .arg(fileName));
    }
}
