#pragma once

#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class TSizeGrip;

enum TOpenOptionFlag {
    ofReadOnly = 0x01,
    ofOverwritePrompt = 0x02,
    ofHideReadOnly = 0x04,
    ofAllowMultiSelect = 0x08,
    ofFileMustExist = 0x10,
    ofEnableSizing = 0x20,
};
Q_DECLARE_FLAGS(TOpenOptions, TOpenOptionFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOpenOptions)

// The open-file dialog with the places bar (desktop, documents, pictures, home and the root,
// as far as they exist), a size grip and a minimum of its standard size, the growth the user
// gave it remembered for every later open and save dialog of the run, and placement on the
// main window's screen: centred across, a third of the way down, adjustable by OnSettingPos.
class TPlacesOpenDialog : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPlacesOpenDialog)

public:
    // The main window is the parent's window, when the parent is a widget.
    explicit TPlacesOpenDialog(QObject* parent = nullptr);
    ~TPlacesOpenDialog() override;

    QString FileName;
    QStringList Files;
    // Pairs of description and pattern separated by '|': "TXT (*.txt)|*.txt".
    QString Filter;
    int FilterIndex = 1;
    QString InitialDir;
    QString Title;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;

    bool PlaceBar() const { return m_placeBar; }
    void SetPlaceBar(bool value) { m_placeBar = value; }

    std::function<void(QObject* Sender, int& X, int& Y, int W, int H)> OnSettingPos;

    // Shows the modal dialog; true when the user confirmed a file (FileName holds it).
    virtual bool Execute();

    // The dialog while it is shown, else null.
    QFileDialog* Dialog() const { return m_dialog; }
    // The growth of the last closed resizable dialog, shared by all of them.
    static QSize RememberedGrowth();
    // Centred across the monitor, a third of the way down (halves and thirds toward zero).
    static QPoint CenteredPosition(const QRect& monitor, const QSize& window);
    // The places bar: the standard folders that exist, then the root.
    static QList<QUrl> Places();
    // The dialog's name filters for a filter string of description|pattern pairs.
    static QStringList NameFilters(const QString& filter);

protected:
    bool run(QFileDialog::AcceptMode mode);
    // After every size change of a resizable dialog.
    virtual void Resized() {}
    virtual void CenterDialog(QWidget* dialog);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool sizing() const { return Options.testFlag(ofEnableSizing); }
    void firstShow();

    bool m_placeBar = true;
    QPointer<QFileDialog> m_dialog;
    TSizeGrip* m_grip = nullptr;
    QSize m_opening;
    bool m_firstShow = false;
};

// The same dialog for saving: the user names a file, existing or not.
class TPlacesSaveDialog final : public TPlacesOpenDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPlacesSaveDialog)

public:
    using TPlacesOpenDialog::TPlacesOpenDialog;
    bool Execute() override;
};
