// Failed file calls in words, for the messages that tell the user which file
// could not be written and why.
#pragma once

#include <cstdint>

// The reason for a system error code, in the user's words, with the code.
// Writes at most n bytes (NUL included) to buf.
void errorreason(uint32_t error, char* buf, int n);
// A message of the form: head, an empty line, the path, the reason, and,
// when tail is given, an empty line and tail.  Cut to n bytes (NUL
// included) without splitting a double-byte character.
void failuretext(char* buf, int n, const char* head, const char* path, uint32_t error, const char* tail);
