#include "Hlr/HLRError.h"
#include "Hlr/HLRCancelException.h"

#include <gtest/gtest.h>

#include <string>

using KvHLR::HLRCancelException;
using KvHLR::HLRError;

TEST(HLRErrorTest, WhatIsTheMessageAloneAndTheDiagnosticNamesTheSite) {
    const HLRError error("x", "Hlr/HLRPolyAlgo.cpp", 7);
    EXPECT_STREQ(error.what(), "x");
    EXPECT_EQ(error.message(), "x");
    EXPECT_EQ(error.diagnostic(), "Hlr/HLRPolyAlgo.cpp(7) : error : x\n");

    const HLRError negativeLine("HLRStroke::length(): Child class'es responsibility.", "a.cpp", -12);
    EXPECT_EQ(negativeLine.diagnostic(),
              "a.cpp(-12) : error : HLRStroke::length(): Child class'es responsibility.\n");
}

TEST(HLRErrorTest, CopiesCarryTheMessage) {
    const HLRError original("first", "a.cpp", 1);
    const HLRError copied(original);
    EXPECT_STREQ(copied.what(), "first");
    EXPECT_EQ(copied.diagnostic(), original.diagnostic());

    HLRError assigned("second", "b.cpp", 2);
    assigned = original;
    EXPECT_STREQ(assigned.what(), "first");
    EXPECT_EQ(assigned.diagnostic(), "a.cpp(1) : error : first\n");
    EXPECT_STREQ(original.what(), "first");
}

TEST(HLRErrorTest, CancellationIsCaughtAsItselfAsAnErrorAndAsAStandardException) {
    const auto throwCancel = [] { throw HLRCancelException("stop", "c.cpp", 3); };
    try {
        throwCancel();
        FAIL() << "nothing thrown";
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "stop");
        const auto* asError = dynamic_cast<const HLRError*>(&caught);
        ASSERT_NE(asError, nullptr);
        EXPECT_EQ(asError->diagnostic(), "c.cpp(3) : error : stop\n");
    }
    EXPECT_THROW(throwCancel(), HLRError);
    EXPECT_THROW(throwCancel(), HLRCancelException);
}
