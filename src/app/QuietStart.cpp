#include "QuietStart.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <cstring>

namespace QuietStart {

namespace {

QtMessageHandler s_next = nullptr;

// Qt falls back to a private folder of its own and says so on every start.
void withoutRuntimeFolderNotice(QtMsgType type, const QMessageLogContext& context,
                                const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    s_next(type, context, message);
}

} // namespace

void Install(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--verbose") == 0)
            return;
    // Rules from QT_LOGGING_RULES are applied after these, so the user's own still hold.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    // The browser engine's own log: what the user meets of its failures, the window shows.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--log-level") && !flags.contains("logging")) {
        flags += flags.isEmpty() ? "--log-level=3" : " --log-level=3";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
    s_next = qInstallMessageHandler(withoutRuntimeFolderNotice);
}

} // namespace QuietStart
