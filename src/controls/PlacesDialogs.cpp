#include "PlacesDialogs.h"

#include "SizeGrip.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace {

// The growth of the last closed resizable dialog, for the rest of the run.
QSize s_growth;

QWidget* mainFormOf(QObject* owner) {
    for (QObject* o = owner; o; o = o->parent())
        if (auto* w = qobject_cast<QWidget*>(o))
            return w->window();
    return nullptr;
}

} // namespace

TPlacesOpenDialog::TPlacesOpenDialog(QObject* parent) : QObject(parent) {}

TPlacesOpenDialog::~TPlacesOpenDialog() = default;

QSize TPlacesOpenDialog::RememberedGrowth() {
    return s_growth;
}

QPoint TPlacesOpenDialog::CenteredPosition(const QRect& monitor, const QSize& window) {
    return {monitor.left() + (monitor.width() - window.width()) / 2,
            monitor.top() + (monitor.height() - window.height()) / 3};
}

QList<QUrl> TPlacesOpenDialog::Places() {
    QList<QUrl> places;
    for (const auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
                                QStandardPaths::PicturesLocation, QStandardPaths::HomeLocation}) {
        const QString path = QStandardPaths::writableLocation(location);
        const QUrl url = QUrl::fromLocalFile(path);
        if (!path.isEmpty() && QFileInfo(path).isDir() && !places.contains(url))
            places << url;
    }
    places << QUrl::fromLocalFile(QDir::rootPath());
    return places;
}

QStringList TPlacesOpenDialog::NameFilters(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The dialog reads the patterns from the parentheses at the end of the entry.
        const QString tail = QStringLiteral("(") + pattern + QLatin1Char(')');
        result << (description.endsWith(tail) ? description
                                              : description + QLatin1Char(' ') + tail);
    }
    return result;
}

bool TPlacesOpenDialog::Execute() {
    return run(QFileDialog::AcceptOpen);
}

bool TPlacesSaveDialog::Execute() {
    return run(QFileDialog::AcceptSave);
}

bool TPlacesOpenDialog::run(QFileDialog::AcceptMode mode) {
    QWidget* mainForm = mainFormOf(parent());
    QFileDialog dialog(mainForm ? mainForm : QApplication::activeWindow(), Title, InitialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptSave)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (Options.testFlag(ofAllowMultiSelect))
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(Options.testFlag(ofFileMustExist) ? QFileDialog::ExistingFile
                                                             : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !Options.testFlag(ofOverwritePrompt));
    const QStringList filters = NameFilters(Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(std::clamp(FilterIndex, 1, int(filters.size())) - 1));
    }
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (m_placeBar) {
        dialog.setSidebarUrls(Places());
    } else if (QWidget* sidebar = dialog.findChild<QWidget*>(QStringLiteral("sidebar"))) {
        sidebar->hide();
    }
    QCheckBox* readOnly = nullptr;
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!Options.testFlag(ofHideReadOnly) && grid) {
        readOnly = new QCheckBox(QStringLiteral("読み取り専用ファイルとして開く"), &dialog);
        readOnly->setChecked(Options.testFlag(ofReadOnly));
        grid->addWidget(readOnly, grid->rowCount(), 0, 1, -1);
    }

    m_dialog = &dialog;
    m_firstShow = true;
    dialog.installEventFilter(this);
    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    dialog.removeEventFilter(this);
    if (m_grip) {
        s_growth = dialog.size() - m_opening;
        delete m_grip;
        m_grip = nullptr;
    }
    m_dialog = nullptr;
    if (!confirmed)
        return false;
    Files = dialog.selectedFiles();
    FileName = Files.constFirst();
    if (readOnly)
        Options.setFlag(ofReadOnly, readOnly->isChecked());
    return true;
}

bool TPlacesOpenDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_dialog) {
        if (event->type() == QEvent::Show && m_firstShow) {
            m_firstShow = false;
            firstShow();
        } else if (event->type() == QEvent::Resize && m_grip) {
            m_grip->move(m_dialog->width() - TSizeGrip::Size, m_dialog->height() - TSizeGrip::Size);
            Resized();
        }
    }
    return QObject::eventFilter(watched, event);
}

void TPlacesOpenDialog::firstShow() {
    // The size the dialog would open with is its standard size: the least it may become.
    m_opening = m_dialog->size();
    if (sizing()) {
        m_dialog->setMinimumSize(m_opening);
        m_grip = new TSizeGrip(m_dialog);
        m_grip->move(m_opening.width() - TSizeGrip::Size, m_opening.height() - TSizeGrip::Size);
        m_grip->show();
        m_grip->raise();
        const QSize growth = s_growth.expandedTo(QSize(0, 0));
        if (growth.width() > 0 || growth.height() > 0)
            m_dialog->resize(m_opening + growth);
    } else {
        m_dialog->setFixedSize(m_opening);
    }
    CenterDialog(m_dialog);
}

void TPlacesOpenDialog::CenterDialog(QWidget* dialog) {
    const QWidget* mainForm = mainFormOf(parent());
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QScreen* screen = mainForm && mainForm->screen() ? mainForm->screen()
                            : screens.isEmpty()            ? nullptr
                                                           : screens.constFirst();
    if (!screen)
        return;
    const QSize size = dialog->frameGeometry().size();
    const QPoint p = CenteredPosition(screen->geometry(), size);
    int x = p.x(), y = p.y();
    if (OnSettingPos)
        OnSettingPos(this, x, y, size.width(), size.height());
    dialog->move(x, y);
}
