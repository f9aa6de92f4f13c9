#include "ErrorDisplay.h"
#include "VelaError.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ErrorDisplay, AppendsAFullStopOnlyAfterCharactersSortingAfterIt) {
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("File not found")), QStringLiteral("File not found."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("code 7")), QStringLiteral("code 7."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("書き込めません")), QStringLiteral("書き込めません."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Really?")), QStringLiteral("Really?."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("a!")), QStringLiteral("a!"));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("x-")), QStringLiteral("x-"));
    EXPECT_EQ(ErrorDisplayText(QString()), QString());
}

TEST(ErrorDisplay, GuardShowsTheFailureWithTheProgramTitleAndGoesOn) {
    QStringList shown;
    QString caption;
    SetErrorDisplay([&](const QString& c, const QString& t) {
        caption = c;
        shown << t;
    });
    Guard([] { throw VelaError(QStringLiteral("engine failed")); });
    Guard([] { throw std::runtime_error("bad thing"); });
    Guard([] { throw 42; });
    bool ran = false;
    Guard([&] { ran = true; });
    SetErrorDisplay({});
    EXPECT_TRUE(ran);
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], QStringLiteral("engine failed."));
    EXPECT_EQ(shown[1], QStringLiteral("bad thing."));
    EXPECT_EQ(caption, QStringLiteral("test_platform"));
}
