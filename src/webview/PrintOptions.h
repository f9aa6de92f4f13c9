#pragma once

#include <QString>
#include <QStringList>

enum TPrintOrientation { poPortrait, poLandscape };

// Page margins in the unit TPrintOptions::MarginsInInches names.
struct TMargins {
    double Left = 0;
    double Right = 0;
    double Top = 0;
    double Bottom = 0;
};

// Page-setup values carried with the browser host. No print applies them: the printer's own
// page setup lays the page out.
class TPrintOptions {
public:
    TPrintOptions() : m_htmlHeader{QStringLiteral("<HTML></HTML>")} {}

    bool Enabled = false;
    QString Header;
    QString Footer;
    TMargins Margins;
    TPrintOrientation Orientation = poPortrait;
    bool MarginsInInches = false;

    const QStringList& HTMLHeader() const { return m_htmlHeader; }
    // Assigning copies the lines.
    void SetHTMLHeader(const QStringList& lines) { m_htmlHeader = lines; }

private:
    QStringList m_htmlHeader;
};
