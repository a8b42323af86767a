// Account records for the account file's tests.
#pragma once

#include <gtest/gtest.h>

#include <string.h>

#include "account.h"

inline ACCOUNT_INFO Account(const char *host, int port, const char *user, const char *password,
                            int interval)
{
    ACCOUNT_INFO account;
    memset(&account, 'k', sizeof account);  // no stray NUL to end a field by luck
    CopyAccountText(account.host, host);
    account.port = port;
    CopyAccountText(account.user, user);
    CopyAccountText(account.password, password);
    account.interval = interval;
    return account;
}

// What the record held before a file was read over it.
inline const ACCOUNT_INFO PRIOR = Account("old.example", 995, "olduser", "oldpw", 7);

// Every text ends within its 64 bytes, and the record holds what is expected.
inline void ExpectRecord(const ACCOUNT_INFO &actual, const ACCOUNT_INFO &expected)
{
    for (const char *field : {actual.host, actual.user, actual.password})
        ASSERT_NE(memchr(field, '\0', ACCOUNT_TEXT_SIZE), nullptr) << "a text runs past its field";
    EXPECT_STREQ(actual.host, expected.host);
    EXPECT_EQ(actual.port, expected.port);
    EXPECT_STREQ(actual.user, expected.user);
    EXPECT_STREQ(actual.password, expected.password);
    EXPECT_EQ(actual.interval, expected.interval);
}
