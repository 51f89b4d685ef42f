#include "platform/exception.h"
#include "platform/hostcodec.h"

#include <gtest/gtest.h>

using lystra::HostCodec;

TEST(HostCodec, EveryByteRoundTrips)
{
    const HostCodec codec;
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = codec.decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(codec.encode(text), all);
}

TEST(HostCodec, Windows1252Characters)
{
    const HostCodec codec;
    EXPECT_EQ(codec.decode("\xe5\xe4\xf6\xc5\xc4\xd6"), QStringLiteral("åäöÅÄÖ"));
    EXPECT_EQ(codec.decode("\x80"), QStringLiteral("€"));
    EXPECT_EQ(codec.encode(QStringLiteral("Bokfört €")), QByteArray("Bokf\xf6rt \x80"));
    // Undefined in windows-1252: kept as the control character of that number.
    EXPECT_EQ(codec.decode("\x81").at(0).unicode(), 0x81);
    // Not in the code page at all.
    EXPECT_EQ(codec.encode(QStringLiteral("a\u4e2db")), QByteArray("a?b"));
}

TEST(HostCodec, OtherSingleByteCodePage)
{
    const HostCodec codec("IBM850");
    EXPECT_EQ(codec.decode("\x86\x84\x94"), QStringLiteral("åäö"));
}

TEST(HostCodec, RefusesUnknownAndMultiByteCodePages)
{
    EXPECT_THROW(HostCodec("no-such-code-page"), lystra::Exception);
    EXPECT_THROW(HostCodec("UTF-8"), lystra::Exception);
}

TEST(HostCodec, ProcessWideInstanceCanBeChanged)
{
    EXPECT_EQ(HostCodec::host().name(), QByteArray("windows-1252"));
    HostCodec::setHost("IBM850");
    EXPECT_EQ(HostCodec::host().decode("\x86"), QStringLiteral("å"));
    HostCodec::setHost(HostCodec::defaultCodePage());
    EXPECT_EQ(HostCodec::host().decode("\xe5"), QStringLiteral("å"));
}
