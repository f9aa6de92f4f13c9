#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

// Plays the user of the next file dialog the program opens: records what the dialog offers,
// runs an action on it (resizing, say), then types a path and confirms, or cancels for an
// empty path. An overwrite question is answered with Yes (or No). Gives up after 5 seconds.
class FileDialogDriver {
public:
    struct Offer {
        QString folder;
        QString name;
        QStringList filters;
        QSize size;
        QSize frame; // the window with its frame
        QPoint position;
    };

    explicit FileDialogDriver(QString path = QString(), bool overwrite = true)
        : m_path(std::move(path)), m_overwrite(overwrite) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    std::function<void(QFileDialog&)> action;
    Offer offer;
    bool seen = false;
    QString question; // the overwrite question, when one was asked
    std::function<void(QMessageBox&)> questionAction; // runs on the question before the answer

private:
    void poll() {
        if (++m_ticks > 500) {
            m_timer.stop();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (m_box == box)
                return;
            m_box = box;
            question = box->text();
            if (questionAction)
                questionAction(*box);
            QTimer::singleShot(0, box, [box, yes = m_overwrite] {
                if (QAbstractButton* b = box->button(yes ? QMessageBox::Yes : QMessageBox::No))
                    b->click();
            });
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog || !dialog->isVisible() || m_answered == dialog)
            return;
        m_answered = dialog;
        seen = true;
        auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        offer = {dialog->directory().absolutePath(),
                 nameEdit ? nameEdit->text() : QString(),
                 dialog->nameFilters(),
                 dialog->size(),
                 dialog->frameGeometry().size(),
                 dialog->pos()};
        // Answered from a fresh timer: the overwrite question runs a loop of its own.
        QTimer::singleShot(0, dialog, [this, dialog, nameEdit] {
            if (action)
                action(*dialog);
            if (m_path.isEmpty() || !nameEdit) {
                dialog->reject();
                return;
            }
            nameEdit->setText(m_path);
            QTest::keyClick(nameEdit, Qt::Key_Return);
            // Refused to overwrite: the user gives up.
            if (!m_overwrite && !question.isEmpty() && dialog->isVisible())
                dialog->reject();
        });
    }

    QString m_path;
    bool m_overwrite;
    QTimer m_timer;
    int m_ticks = 0;
    QPointer<QFileDialog> m_answered;
    QPointer<QMessageBox> m_box;
};
