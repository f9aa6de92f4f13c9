#include "WordList.h"

#include <gtest/gtest.h>

// The dictionary decides between readings: it must take words as running text gives them
// (any case, punctuation around) and refuse misreadings.
TEST(WordList, KnowsWordsAsTextGivesThemAndRefusesMisreadings) {
    const WordList& words = WordList::English();
    ASSERT_TRUE(words.Available());
    for (const char* known : {"Receipt,", "TOTAL", "(inclusive", "invoice:", "Street.", "1,891"})
        EXPECT_TRUE(words.Knows(QString::fromLatin1(known))) << known;
    for (const char* unknown : {"Rcceipt", "T0TAL", "IHIIHI", "...", ""})
        EXPECT_FALSE(words.Knows(QString::fromLatin1(unknown))) << unknown;
}
