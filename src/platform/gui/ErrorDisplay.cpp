#include "ErrorDisplay.h"

#include "VelaError.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace {

ErrorDisplayFunction& display() {
    static ErrorDisplayFunction fn;
    return fn;
}

} // namespace

void SetErrorDisplay(ErrorDisplayFunction fn) {
    display() = std::move(fn);
}

QString ErrorDisplayText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString ProgramTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void ShowDefaultError(const QString& message) {
    const QString text = ErrorDisplayText(message);
    if (display()) {
        display()(ProgramTitle(), text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, ProgramTitle(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void ShowCurrentException() {
    try {
        throw;
    } catch (const VelaError& e) {
        ShowDefaultError(e.Message());
    } catch (const std::exception& e) {
        ShowDefaultError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowDefaultError(QStringLiteral("Unknown error"));
    }
}
