// Printing glue of the control: its printer, and the print, preview and page-setup commands.
#include "PagePreview.h"
#include "PagePrint.h"
#include "WebControl.h"

#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebEnginePage>

QPrinter* TWebControl::Printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

HRESULT TWebControl::printCommand(int cmdId, int cmdExecOpt) {
    QPrinter* printer = Printer();
    QPointer<TWebControl> self(this);
    if (cmdId == OLECMDID_PAGESETUP) {
        if (cmdExecOpt != OLECMDEXECOPT_DONTPROMPTUSER) {
            QPageSetupDialog dialog(printer, window());
            dialog.exec();
        }
        return S_OK;
    }
    if (OnPrintTemplateInstantiation)
        OnPrintTemplateInstantiation(this, Page());
    if (!self)
        return E_UNEXPECTED;
    HRESULT result = S_OK;
    if (cmdId == OLECMDID_PRINT) {
        bool go = true;
        if (cmdExecOpt != OLECMDEXECOPT_DONTPROMPTUSER) {
            QPrintDialog dialog(printer, window());
            go = dialog.exec() == QDialog::Accepted;
        }
        if (!self)
            return E_UNEXPECTED;
        // A print dialog the user cancelled prints nothing and is no failure.
        if (go && !PrintPageTo(View(), printer, &m_lastFailure))
            result = E_FAIL;
    } else {
        QPrintPreviewDialog dialog(printer, window());
        // The preview is drawn even when the printer is set to a PDF file.
        auto* preview = new PagePreview(View(), &dialog);
        dialog.exec();
        // A preview that could not show the page is a failure like a print that could not.
        if (self && !preview->Failure().isEmpty()) {
            m_lastFailure = preview->Failure();
            result = E_FAIL;
        }
    }
    if (self && OnPrintTemplateTeardown)
        OnPrintTemplateTeardown(this, Page());
    return self ? result : E_UNEXPECTED;
}
