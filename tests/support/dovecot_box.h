// The Dovecot that tools/dovecot-fixture.sh started, and its maildirs.
#pragma once

#include <string>

extern const char DOVECOT_PASSWORD[];

// The server's port, or 0 when no fixture is running.
int DovecotPort();

// Puts `count` new messages into the user's maildrop.
void DeliverMessages(const std::string &user, int count);

// Removes every message from the user's maildrop.
void EmptyMaildrop(const std::string &user);
