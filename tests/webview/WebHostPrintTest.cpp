// Printing and preview of the shown page.
#include "WebTestSupport.h"
#include "WebTools.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QByteArray kPrintPage =
    "<html><head><meta charset='utf-8'><title>Print me</title></head><body>"
    "<h1>Printed page text</h1><p>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86"
    "\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88</p></body></html>"; // 日本語のテキスト

QString pdfText(const QString& file) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), file, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
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
