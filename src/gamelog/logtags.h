// What the two log parses share: record tags and the ShotData record.
#pragma once

#include <cstdint>
#include <cstring>

// A line begins with a tag when its first bytes are exactly the tag's bytes;
// strncmp stops at the line's NUL, so a short line never matches.
#define ISTAG(line, tag) (strncmp((line), (tag), sizeof(tag) - 1) == 0)

#define SHOTLINES 10  // lines of a ShotData record
#define SHOTNUMS 16   // numbers per line, at byte offsets 0, 3, ..., 45

// Reads the ten lines of a ShotData record from buf + pos into rec (SHOTSIZE
// bytes), reading nothing at or beyond end; numbers that cannot be read are
// stored as 0.  A zero byte ends the line it is in and sets *damaged (the
// record is then not to be used).  Returns the position after the record.
int32_t readshotdata(uint8_t* rec, const char* buf, int32_t pos, int32_t end, bool* damaged);
// The remaining distance of a record: bytes 106-109, little-endian float.
float shotremain(const uint8_t* rec);
// The club of a record: byte 40, refined by byte 157 when it is 30.
int32_t shotclub(const uint8_t* rec);
