// Numbers as text once the application runs under a German desktop, whose
// locale writes and reads a comma as the decimal separator: the program's
// texts (CSV fields, SQL, messages) keep a point.

#include <gtest/gtest.h>

#include <clocale>

#include "framework/Variant.h"
#include "framework/gui/Runtime.h"
#include "tests/support/EnvGuard.h"

TEST(GermanLocale, NumbersKeepTheirPointWhileTheApplicationLives) {
    EnvGuard env;
    env.set("LC_ALL", "de_DE.UTF-8");
    InitGuiRuntime();
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << "the application took the desktop's locale";

    EXPECT_EQ(Str(3.5), "3.5");
    EXPECT_EQ(Str(-1234.5678), "-1234.568");
    EXPECT_EQ(Val("3.5"), 3.5);
    EXPECT_EQ(Val("3,5"), 3) << "a comma ends the number";
    EXPECT_EQ(Variant(2.25).StringValue(), "2.25");
    EXPECT_EQ(Variant("2.25").DoubleValue(), 2.25);
}
