// Printing and preview of the shown page.
#include "PagePrint.h"
#include "WebTestSupport.h"
#include "WebTools.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray kPrintPage =
    "<html><head><meta charset='utf-8'><title>Print me</title></head><body>"
    "<h1>Printed page text</h1><p>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86"
    "\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88</p></body></html>"; // 日本語のテキスト

QString tool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString& file) {
    return tool(QStringLiteral("pdftotext"),
                {QStringLiteral("-enc"), QStringLiteral("UTF-8"), file, QStringLiteral("-")});
}

int pdfPages(const QString& file) {
    const QString info = tool(QStringLiteral("pdfinfo"), {file});
    const qsizetype at = info.indexOf(QLatin1String("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

// A page of count sheets, each holding "Sheet N marker" and enough text to take a while to
// lay out.
QByteArray sheets(int count) {
    QByteArray html = "<html><head><meta charset='utf-8'></head><body>";
    for (int i = 1; i <= count; ++i) {
        html += "<div style='page-break-after:always'><h1>Sheet " + QByteArray::number(i) +
                " marker</h1>";
        for (int j = 0; j < 12; ++j)
            html += "<p style='color:#234'>Translated line " + QByteArray::number(j) +
                    " of the long page, with words enough to fill it.</p>";
        html += "</div>";
    }
    return html + "</body></html>";
}

// The peak memory of this process since resetPeak(), in megabytes, from the kernel.
qint64 statusMegabytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong() / 1024;
    return -1;
}

void resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Answers each dialog once as it comes up, whichever window is active.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(QDialog*)> answer) {
        QObject::connect(&m_timer, &QTimer::timeout, [answer] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QDialog*>(w);
                if (!dialog || !dialog->isVisible() || dialog->property("answered").toBool())
                    continue;
                dialog->setProperty("answered", true);
                answer(dialog);
            }
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

// Waits in a shown preview dialog until it has pages, then closes it.
int previewPagesThenClose(QWidget* dialog) {
    auto* preview = dialog->findChild<QPrintPreviewWidget*>();
    if (!preview)
        return -1;
    (void)QTest::qWaitFor([&] { return preview->pageCount() > 0; }, 20000);
    const int pages = preview->pageCount();
    static_cast<QDialog*>(dialog)->reject();
    return pages;
}

class PrintTest : public WebHostTest {
protected:
    void SetUp() override {
        WebHostTest::SetUp();
        TestServer().Route("/print.html", HttpServer::Response{200, "text/html", kPrintPage});
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath(QStringLiteral("page.pdf"));
        host->Printer()->setOutputFormat(QPrinter::PdfFormat);
        host->Printer()->setOutputFileName(pdf);
    }

    // Accepts every dialog that comes up, remembering its caption and the page's state.
    void AcceptDialogs() {
        host->OnShowDialog = [this](TWebHost*, QWidget* dialog) {
            captions << dialog->windowTitle();
            readyWhenShown << host->ReadyState();
            QTimer::singleShot(0, dialog, [dialog] {
                if (auto* d = qobject_cast<QDialog*>(dialog))
                    d->accept();
            });
        };
    }

    QTemporaryDir dir;
    QString pdf;
    QStringList captions;
    QList<int> readyWhenShown;
};

TEST_F(PrintTest, PrintedPdfHoldsThePageTextJapaneseIncluded) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/print.html"))));
    AcceptDialogs();
    int instantiated = 0;
    int tornDown = 0;
    host->OnPrintTemplateInstantiation = [&](TWebControl*, QObject*) { ++instantiated; };
    host->OnPrintTemplateTeardown = [&](TWebControl*, QObject*) { ++tornDown; };
    host->PrintDocument();
    EXPECT_EQ(captions, QStringList{QStringLiteral("Web Browser:  Print")});
    ASSERT_TRUE(QFile::exists(pdf));
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QLatin1String("Printed page text"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("日本語のテキスト"))) << text.toStdString();
    EXPECT_EQ(instantiated, 1);
    EXPECT_EQ(tornDown, 1);
}

TEST_F(PrintTest, PrintWhileLoadingWaitsForThePage) {
    HttpServer::Response slow{200, "text/html", kPrintPage};
    slow.DelayMs = 1200;
    TestServer().Route("/slow.html", slow);
    AcceptDialogs();
    host->NavigateUrl(TestServer().Url(QStringLiteral("/slow.html")));
    host->PrintDocument();
    ASSERT_EQ(readyWhenShown.size(), 1);
    EXPECT_EQ(readyWhenShown.first(), READYSTATE_COMPLETE);
    EXPECT_TRUE(pdfText(pdf).contains(QLatin1String("Printed page text")));
}

TEST_F(PrintTest, NothingIsPrintedForPagesThatAreNotHtml) {
    TestServer().Route("/plain.txt", HttpServer::Response{200, "text/plain", "plain words"});
    AcceptDialogs();
    EXPECT_NO_THROW(host->ShowPrintPreview()); // no document at all
    QElapsedTimer clock;
    clock.start();
    EXPECT_NO_THROW(host->PrintDocument());
    EXPECT_LT(clock.elapsed(), 2000) << "waited for a page that was never asked for";
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/plain.txt"))));
    EXPECT_NO_THROW(host->PrintDocument());
    EXPECT_NO_THROW(host->ShowPrintPreview());
    EXPECT_TRUE(captions.isEmpty());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintTest, PreviewShowsThePagesOfThePage) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/print.html"))));
    int pages = 0;
    QString caption;
    host->OnShowDialog = [&](TWebHost*, QWidget* dialog) {
        caption = dialog->windowTitle();
        auto* poll = new QTimer(dialog);
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        QObject::connect(poll, &QTimer::timeout, dialog, [&, dialog, started] {
            auto* preview = dialog->findChild<QPrintPreviewWidget*>();
            if (preview)
                pages = preview->pageCount();
            if (pages > 0 || started->elapsed() > 20000)
                static_cast<QDialog*>(dialog)->reject();
        });
        poll->start(100);
    };
    host->ShowPrintPreview();
    EXPECT_GE(pages, 1);
    EXPECT_TRUE(caption.startsWith(QLatin1String("Web Browser:  "))) << caption.toStdString();
    EXPECT_FALSE(QFile::exists(pdf)) << "the preview wrote the printer's file";
}

} // namespace

namespace {

TEST_F(PrintTest, PrintAndPreviewAskedForDuringAPrintJobAreBothDone) {
    TestServer().Route("/sheets.html", HttpServer::Response{200, "text/html", sheets(12)});
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/sheets.html"))));
    int printDialogs = 0;
    int previewPages = -1;
    bool secondFailed = false;
    DialogAnswerer answerer([&](QDialog* dialog) {
        if (dialog->findChild<QPrintPreviewWidget*>()) {
            previewPages = previewPagesThenClose(dialog);
            return;
        }
        dialog->accept();
        if (++printDialogs > 1)
            return;
        // While the first job is laid out, the user presses preview and then print again.
        QTimer::singleShot(40, host, [&] {
            try {
                host->ShowPrintPreview();
                host->PrintDocument();
            } catch (const std::exception&) {
                secondFailed = true;
            }
        });
    });
    EXPECT_NO_THROW(host->PrintDocument());
    EXPECT_FALSE(secondFailed);
    EXPECT_EQ(printDialogs, 2);
    EXPECT_EQ(previewPages, 12);
    EXPECT_EQ(pdfPages(pdf), 12);
    EXPECT_TRUE(pdfText(pdf).contains(QLatin1String("Sheet 12 marker")));
}

TEST_F(PrintTest, RasterPrintingDrawsAtPrintResolutionAndPreviewMemoryStaysBounded) {
    TestServer().Route("/six.html", HttpServer::Response{200, "text/html", sheets(6)});
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/six.html"))));
    // With no printer the printer's own resolution is 1200 dpi; a raster printer gets 300.
    QPrinter raster(QPrinter::HighResolution);
    raster.setOutputFormat(QPrinter::PdfFormat);
    const QString rasterPdf = dir.filePath(QStringLiteral("raster.pdf"));
    raster.setOutputFileName(rasterPdf);
    ASSERT_GE(raster.resolution(), 1200);
    QString error;
    ASSERT_TRUE(PrintPageTo(host->View(), &raster, &error, true)) << error.toStdString();
    EXPECT_EQ(pdfPages(rasterPdf), 6);
    const QStringList images =
        tool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), rasterPdf})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
            .mid(2)
            .filter(QRegularExpression(QStringLiteral("^\\s*\\d+\\s+\\d+\\s+image ")));
    ASSERT_EQ(images.size(), 6);
    for (const QString& line : images) {
        const int width = line.simplified().section(QLatin1Char(' '), 3, 3).toInt();
        EXPECT_GT(width, 2000) << line.toStdString();
        EXPECT_LE(width, 2481) << line.toStdString(); // A4 at 300 dpi
    }

    // Preview of the six sheets, moving through every one of them.
    int pages = 0;
    host->OnShowDialog = [&](TWebHost*, QWidget* dialog) {
        QTimer::singleShot(0, dialog, [&, dialog] {
            auto* preview = dialog->findChild<QPrintPreviewWidget*>();
            ASSERT_TRUE(preview);
            (void)QTest::qWaitFor([&] { return preview->pageCount() > 0; }, 20000);
            pages = preview->pageCount();
            for (int page = 1; page <= pages; ++page) {
                preview->setCurrentPage(page);
                QTest::qWait(250);
            }
            static_cast<QDialog*>(dialog)->reject();
        });
    };
    const qint64 before = statusMegabytes("VmRSS:");
    resetPeak();
    host->ShowPrintPreview();
    const qint64 peak = statusMegabytes("VmHWM:");
    EXPECT_EQ(pages, 6);
    EXPECT_LT(peak - before, 400) << "before " << before << " MB, peak " << peak << " MB";
}

TEST_F(PrintTest, PrintingToAFileHonoursThePagesAndCopiesChosenInTheDialog) {
    TestServer().Route("/three.html", HttpServer::Response{200, "text/html", sheets(3)});
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/three.html"))));
    int first = 1, last = 1, copies = 1;
    DialogAnswerer answerer([&](QDialog* dialog) {
        // The choices are made in the dialog's own fields, as a user makes them.
        auto* pages = dialog->findChild<QAbstractButton*>(QStringLiteral("printRange"));
        auto* from = dialog->findChild<QSpinBox*>(QStringLiteral("from"));
        auto* to = dialog->findChild<QSpinBox*>(QStringLiteral("to"));
        auto* count = dialog->findChild<QSpinBox*>(QStringLiteral("copies"));
        EXPECT_TRUE(pages && from && to && count);
        if (!pages || !from || !to || !count)
            return dialog->reject();
        QTest::mouseClick(pages, Qt::LeftButton);
        to->setValue(last);
        from->setValue(first);
        count->setValue(copies);
        dialog->accept();
    });
    first = 2;
    last = 3;
    host->PrintDocument();
    EXPECT_EQ(pdfPages(pdf), 2);
    QString text = pdfText(pdf);
    EXPECT_FALSE(text.contains(QLatin1String("Sheet 1 marker")));
    EXPECT_TRUE(text.contains(QLatin1String("Sheet 2 marker")));
    EXPECT_TRUE(text.contains(QLatin1String("Sheet 3 marker")));

    last = 2;
    copies = 3;
    host->PrintDocument();
    EXPECT_EQ(pdfPages(pdf), 3);
}

} // namespace
