#include "Support.h"

#include <QTime>

QString RightChars(const QString& s, int n) {
    if (n >= s.size())
        return s;
    return n <= 0 ? QString() : s.right(n);
}

QString MakeTimeStamp() {
    const QTime now = QTime::currentTime();
    const auto two = [](int value) {
        return RightChars(QStringLiteral("00") + QString::number(value), 2);
    };
    return two(now.hour()) + two(now.minute()) + two(now.second());
}
