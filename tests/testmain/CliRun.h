// vela-cli run as a user runs it: its exit status, standard output and standard error. A run
// that crashes or outlives its bound (it is then killed) has status -1.
#pragma once

#include <QProcess>
#include <QStringList>

struct CliRun {
    int Status = -1;
    QByteArray Output;
    QString Errors;
};

inline CliRun RunVelaCli(const QStringList& arguments, int timeoutMs) {
    QProcess cli;
    cli.start(QStringLiteral(VELA_CLI), arguments);
    CliRun run;
    if (!cli.waitForFinished(timeoutMs)) {
        cli.kill();
        cli.waitForFinished();
    } else if (cli.exitStatus() == QProcess::NormalExit) {
        run.Status = cli.exitCode();
    }
    run.Output = cli.readAllStandardOutput();
    run.Errors = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}
