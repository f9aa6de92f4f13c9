#include "FtpReply.h"

#include <gtest/gtest.h>

TEST(FtpReply, SystemTypeFollowsTheWordTable) {
    EXPECT_EQ(FtpReply::SystemType("215 UNIX Type: L8"), ftpstUNIX);
    EXPECT_EQ(FtpReply::SystemType("215 VMS MultiNet V3.5"), ftpstVmsMultinet);
    EXPECT_EQ(FtpReply::SystemType("215 VMS V7.3"), ftpstVmsUcx);
    EXPECT_EQ(FtpReply::SystemType("215 VM/VPS"), ftpstVMVPS);
    EXPECT_EQ(FtpReply::SystemType("215 VM/CMS"), ftpstVM);
    EXPECT_EQ(FtpReply::SystemType("215 Windows_NT"), ftpstDefault);
    EXPECT_EQ(FtpReply::SystemType("215 WINDWOS_NT"), ftpstMSFTP);
    EXPECT_EQ(FtpReply::SystemType("215 MVS is the operating system"), ftpstMVS);
    EXPECT_EQ(FtpReply::SystemType("215 something else"), ftpstDefault);
    // UNIX is tested before BSD, and a 5xx reply never detects anything.
    EXPECT_EQ(FtpReply::SystemType("215 BSD UNIX"), ftpstUNIX);
    EXPECT_EQ(FtpReply::SystemType("502 UNIX not here"), ftpstDefault);
    // Only 99 characters from the fifth on are looked at.
    EXPECT_EQ(FtpReply::SystemType("215 " + QString(99, 'x') + "UNIX"), ftpstDefault);
}

TEST(FtpReply, PathsFromQuotedRepliesAndNetTermForms) {
    EXPECT_EQ(FtpReply::QuotedPath("257 \"/home/u\" is current"), "/home/u");
    EXPECT_EQ(FtpReply::QuotedPath("250 CWD ok"), "");
    EXPECT_EQ(FtpReply::NetTermPath("/C:/dir"), "/dir");
    EXPECT_EQ(FtpReply::NetTermPath("C:\\dir\\sub"), "/dir/sub");
}

TEST(FtpReply, SizesAre64BitAndRefuseOverflow) {
    EXPECT_EQ(FtpReply::SizeValue("213 3000"), 3000);
    EXPECT_EQ(FtpReply::SizeValue("213 5000000000"), 5000000000LL);
    EXPECT_EQ(FtpReply::SizeValue("213 99999999999999999999"), 0);
    EXPECT_EQ(FtpReply::SizeValue("213 12ab"), 0);
    EXPECT_EQ(FtpReply::SizeValue("213 -5"), 0);
    EXPECT_EQ(FtpReply::SizeValue("213"), 0);
}

TEST(FtpReply, TransferSizeFromPreliminaryReplies) {
    EXPECT_EQ(FtpReply::TransferSize("150 Opening BINARY mode data connection for f (3000 bytes)"),
              3000);
    EXPECT_EQ(FtpReply::TransferSize("150 Opening for a (x) (4294967296 bytes)"), 4294967296LL);
    EXPECT_EQ(FtpReply::TransferSize("150 1.5 kbytes to download"), 1500);
    EXPECT_EQ(FtpReply::TransferSize("150 1200 bytes to download"), 1200);
    EXPECT_FALSE(FtpReply::TransferSize("150 Opening data connection"));
    EXPECT_FALSE(FtpReply::TransferSize("150 Opening (lots of bytes)"));
    EXPECT_FALSE(FtpReply::TransferSize("150 1e300 kbytes to download"));
}

TEST(FtpReply, PassiveRepliesNeedSixSmallNumbers) {
    const auto e = FtpReply::PassiveEndpoint("227 Entering Passive Mode (127,0,0,1,19,137).");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Address, "127.0.0.1");
    EXPECT_EQ(e->Port, 5001);
    EXPECT_TRUE(FtpReply::PassiveEndpoint("227 =(10,0,0,1,0,21,7)"));
    EXPECT_FALSE(FtpReply::PassiveEndpoint("227 Entering Passive Mode (127,0,0,x,1,2)"));
    EXPECT_FALSE(FtpReply::PassiveEndpoint("227 Entering Passive Mode (127,0,0,1,2)"));
    EXPECT_FALSE(FtpReply::PassiveEndpoint("227 Entering Passive Mode (127,0,0,1,256,2)"));
    EXPECT_FALSE(FtpReply::PassiveEndpoint("227 Entering Passive Mode (127,0,0,1,-1,2)"));
    EXPECT_FALSE(FtpReply::PassiveEndpoint("227 Entering Passive Mode"));
}

TEST(FtpReply, PortArgumentAndPasswordEcho) {
    EXPECT_EQ(FtpReply::PortArgument("127.0.0.1", 5001), "127,0,0,1,19,137");
    EXPECT_EQ(FtpReply::PortArgument("10.1.2.3", 65535), "10,1,2,3,255,255");
    EXPECT_EQ(FtpReply::CommandEcho("PASS secret\r\n"), "PASS (want to know) :-P\r\n");
    EXPECT_EQ(FtpReply::CommandEcho("USER bob\r\n"), "USER bob\r\n");
}

TEST(FtpReply, UnsafeArgumentsHoldLineBreaksOrNul) {
    EXPECT_TRUE(FtpReply::SafeArgument("dir/file name.txt"));
    EXPECT_FALSE(FtpReply::SafeArgument("a\r\nDELE x"));
    EXPECT_FALSE(FtpReply::SafeArgument("a\nb"));
    EXPECT_FALSE(FtpReply::SafeArgument(QString("a") + QChar(0) + "b"));
}

TEST(FtpReply, WinsockCodesMapToErrorNumbers) {
    EXPECT_EQ(FtpReply::FromWinsock(0).Number, 0);
    EXPECT_EQ(FtpReply::FromWinsock(10038).Number, 0);
    EXPECT_EQ(FtpReply::FromWinsock(10057).Number, 0);
    EXPECT_EQ(FtpReply::FromWinsock(10061).Number, 11);
    EXPECT_EQ(FtpReply::FromWinsock(10061).Text, "Connection Refused");
    EXPECT_EQ(FtpReply::FromWinsock(10060).Number, 7);
    EXPECT_EQ(FtpReply::FromWinsock(10065).Number, 17);
    for (int code = 11001; code <= 11004; ++code)
        EXPECT_EQ(FtpReply::FromWinsock(code).Number, 15);
    EXPECT_EQ(FtpReply::FromWinsock(10052).Number, 4);
    EXPECT_EQ(FtpReply::FromWinsock(10055).Number, 4);
    EXPECT_EQ(FtpReply::FromWinsock(10022).Text, "");
    EXPECT_EQ(FtpReply::FromWinsock(10048).Number, 3);
    EXPECT_EQ(FtpReply::FromWinsock(10048).Text,
              "Unexpected internal error in component (WinSock Error Code: 10048)");
}
