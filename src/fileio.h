// One rule for every write and every read of a file, whoever writes it: the
// call's answer and the count of bytes are both checked, and the reason is
// kept apart from the result, so a short or failed write, flush or close is
// a failure whatever the system's last error says.  Holds no non-ASCII
// literal: the fuzz build compiles it with clang.
#pragma once

#include <cstdint>

#include "os/os.h"

// Writes n bytes at p to f.  A write that put fewer bytes than asked,
// whatever it answered, is followed by one for the rest (Wine fills a disk
// that way: the next write tells why); a write that puts nothing ends it.
// 1 when all n bytes were put; otherwise 0 with *error the system's reason
// for the write that put nothing, or OS_ERROR_WRITE_FAULT when it gave none
// (*error is never 0 on a failure).
int writeall(OsHandle f, const void* p, uint32_t n, uint32_t* error);
// Closes a file that was written; a failed close is a failed write.  1, or 0
// with *error.
int closewritten(OsHandle f, uint32_t* error);
// Reads n bytes from f's position, call after call, since one read may bring
// fewer bytes than asked.  1 when all n are in p; 0 when a read fails
// (*error its reason) or the file ends first (OS_ERROR_HANDLE_EOF); *got
// holds the bytes read either way.
int readall(OsHandle f, void* p, uint32_t n, uint32_t* got, uint32_t* error);
