#include "commit/url_encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlEncode, WorkedExamplesAndCodePageEdges) {
    const std::pair<QString, const char*> cases[] = {
        {QStringLiteral("a b"), "a+b"},
        {QStringLiteral("x=1&y"), "x%3D1%26y"},
        {QStringLiteral("A-Z_0.9*"), "A-Z_0.9*"},
        {QStringLiteral("~!'()"), "%7E%21%27%28%29"},
        {QStringLiteral("\t\r\n"), "%09%0D%0A"},
        {QString::fromUtf8("\xc3\xa9\xe2\x82\xac"), "%E9%80"},  // é €
        {QString(), ""},
        {QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=12 AND EmployeeID IN(7,1024)"),
         "DELETE+FROM+CenterEmployeeCrossReference+WHERE+CenterID%3D12+AND+EmployeeID+IN%287%2C1024%29"},
        {QStringLiteral("+"), "%2B"},
        {QStringLiteral("%"), "%25"},
        {QString(QChar(0)), "%00"},
        {QString(QChar(0x0F)), "%0F"},
        {QString(QChar(0x10)), "%10"},
        {QString(QChar(0x7F)), "%7F"},
        {QString(QChar(0xFF)), "%FF"},
        {QString(QChar(0xA0)), "%A0"},
        {QString::fromUtf8("\xc5\x93\xe2\x84\xa2"), "%9C%99"},  // œ ™ from the 0x80 block
        {QString(QChar(0x81)), "%81"},                          // unassigned byte stands for itself
        {QString(QChar(0x80)), "%3F"},                          // C1 control the code page has no byte for
        {QString(QChar(0x0100)), "%3F"},                        // Ā: not in the code page
        {QString::fromUtf8("\xe6\x97\xa5"), "%3F"},             // 日
        {QString::fromUtf8("\xf0\x9f\x98\x80"), "%3F%3F"},      // one emoji is two 16-bit units
        {QStringLiteral("AZaz09"), "AZaz09"},
        {QStringLiteral("@[`{"), "%40%5B%60%7B"},
    };
    for (const auto& [input, encoded] : cases) EXPECT_EQ(urlEncode(input), QString::fromLatin1(encoded)) << encoded;
}

TEST(UrlEncode, NeverDropsACharacterAndUsesOnlyTheSafeAlphabet) {
    QString all;
    for (char16_t u = 0; u < 0x300; ++u) all += QChar(u);
    const QString encoded = urlEncode(all);
    EXPECT_GE(encoded.size(), all.size());
    for (const QChar c : encoded)
        EXPECT_TRUE(c.isLetterOrNumber() || QStringLiteral("*-._+%").contains(c)) << int(c.unicode());
    EXPECT_FALSE(encoded.contains(u'~'));
}

TEST(Windows1252, EveryCodePageCharacterHasItsByte) {
    EXPECT_EQ(windows1252Code(QChar(0x20AC)), 0x80);
    EXPECT_EQ(windows1252Code(QChar(0x0178)), 0x9F);
    EXPECT_EQ(windows1252Code(QChar(u'?')), 63);
    EXPECT_EQ(windows1252Code(QChar(0x2603)), 63);
}

}  // namespace
