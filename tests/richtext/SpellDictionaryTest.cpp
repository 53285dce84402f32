#include "richtext/SpellChecker.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(SpellDictionary, DestroyedWhileLoadingTakesItsWorkerWithIt) {
    int delivered = 0;
    for (int i = 0; i < 3; ++i) {
        auto* dictionary = new SpellDictionary;
        QObject::connect(dictionary, &SpellDictionary::ready, [&] { ++delivered; });
        dictionary->ensureLoading();
        EXPECT_GE(SpellDictionary::loadsInFlight(), 0);
        delete dictionary;
        // The load ended with its owner: nothing left running that could deliver to it.
        EXPECT_EQ(SpellDictionary::loadsInFlight(), 0);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

TEST(SpellDictionary, MissingDictionaryLoadsAsUnavailableAndAcceptsEveryWord) {
    QTemporaryDir empty;
    SpellDictionary dictionary({empty.path() + "/fr_FR"});
    QSignalSpy ready(&dictionary, &SpellDictionary::ready);
    dictionary.ensureLoading();
    dictionary.ensureLoading(); // a second call starts nothing more
    ASSERT_TRUE(ready.wait(5000));
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(dictionary.isLoaded());
    EXPECT_FALSE(dictionary.isAvailable());
    EXPECT_TRUE(dictionary.isCorrect(QStringLiteral("bonjuor")));
}
