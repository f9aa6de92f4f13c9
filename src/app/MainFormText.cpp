#include "LinkCheck.h"
#include "MainForm.h"
#include "PlacesDialogs.h"
#include "RichEdit.h"
#include "VelaError.h"

#include <QFileInfo>
#include <QPushButton>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTextCursor>

void TfrmMain::rmm00Change() {
    // Trim every character up to the space, as the text pane's rule has it; an ideographic
    // space is text.
    const QString text = rmm00->toPlainText();
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    const bool hasText = last > first;
    btnTrans->setEnabled(hasText);
    btnSave1->setEnabled(hasText);
}

void TfrmMain::rmm00Replace(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    rmm00->setPlainText(text);
}

void TfrmMain::rmm00Append(const QStringList& lines) {
    QString text;
    const QString current = rmm00->toPlainText();
    if (!current.isEmpty() && !current.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    QTextCursor end(rmm00->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

QString TfrmMain::FolderOf(const QString& fileName) {
    return QFileInfo(fileName).absolutePath();
}

void TfrmMain::SaveTextAs(const QString& fileName) {
    if (const QString refused = LinkCheck::Refusal(fileName); !refused.isEmpty())
        throw EFileError(QStringLiteral("%1 に書き込めません: %2").arg(fileName, refused));
    QStringEncoder toSystem(QStringEncoder::System);
    QByteArray bytes;
    for (const QString& line : rmm00->Lines()) {
        bytes += toSystem(line);
        bytes += "\r\n";
    }
    // Written beside the target and renamed over it: a failed save never destroys the old file.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EFileError(QStringLiteral("%1 に書き込めません").arg(fileName));
}

void TfrmMain::btnSave1Click() {
    PlacesSaveDialog1->InitialDir = SavePath;
    PlacesSaveDialog1->FileName = QStringLiteral("新規.txt");
    PlacesSaveDialog1->Filter = QStringLiteral("TXT (*.txt)|*.txt");
    if (PlacesSaveDialog1->Execute()) {
        rmm00->SetPlainText(true);
        SaveTextAs(PlacesSaveDialog1->FileName);
        SavePath = FolderOf(PlacesSaveDialog1->FileName);
    }
    rmm00->setFocus();
}
