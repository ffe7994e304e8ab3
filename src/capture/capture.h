// Screen capture: the BMP layout of every capture file, the frame record a
// burst keeps in memory, the capture rectangle, the screen grab and the names
// of screenshot files.
#pragma once

#include <cstdint>

#include "fileio.h"
#include "os/os.h"

#define BMPFILEHEADER 14
#define BMPINFOHEADER 40
#define BMPHEADERS 54  // both headers: the offset of the pixels

// The frame record: one movable block of image size + FRAMEPIXELS bytes.
#define FRAMEMS 0        // 4: milliseconds since the previous frame, signed
#define FRAMETIME 6      // 16: local time of the grab, eight 16-bit fields
#define FRAMEFILE 22     // 14: the BMP file header; a BMP file from here on
#define FRAMEINFO 36     // 40: the BMP information header
#define FRAMEPIXELS 76   // the pixel rows

// Zero bytes that end a row of n pixels at 24 bits.
uint32_t rowpad(int32_t n);
// 3 x width raised to the next multiple of 4 (width taken as |width|).
uint32_t rowstride(int32_t width);
// Row stride x |height| in 64 bits: never wraps, whatever the sizes.
uint64_t imagesize(int32_t width, int32_t height);

// Little-endian stores and loads.
void put16(uint8_t* p, uint16_t v);
void put32(uint8_t* p, uint32_t v);
uint16_t get16(const uint8_t* p);
uint32_t get32(const uint8_t* p);

// The 14-byte file header: "BM", image size + 54, reserved 0, offset 54.
void putfileheader(uint8_t* p, uint32_t imagesize);
// The 40-byte information header, field by field.
void putinfoheader(uint8_t* p, const OsBitmapHeader& h);
// A header for 24-bit rows of width x height: the other fields as in from.
OsBitmapHeader rgbheader(const OsBitmapHeader& from, int32_t width, int32_t height);

// Edges of rectangles built from margins stay within -COORDMAX ... COORDMAX,
// so the width or height between any two of them fits 32 bits.
#define COORDMAX 0x3FFFFFFF
// v held to -COORDMAX ... COORDMAX.
int32_t satcoord(int64_t v);
// v held to the range of a signed 32-bit number.
int32_t sat32(int64_t v);

// The capture rectangle of a window rectangle with area margins (top, left,
// bottom, right): each edge moves outward by its margin, held to COORDMAX.
void applymargins(const int32_t win[4], const int32_t margins[4], int32_t out[4]);
// The capture rectangle now: the game window, else the chosen window (both
// with the margins in force), else the area frame's rectangle as read, else
// the foreground window of the last main-timer tick.  0 when no rectangle
// could be read (out is then all 0).
int capturerect(int32_t out[4]);

// Largest image a frame record may hold: a frame above it is not allocated.
#define FRAMEIMAGEMAX 0x7FFFFF00u

// What became of a screen grab.
#define GRABNOBLOCK 0  // no block could be allocated or locked
#define GRABBED 1      // a frame record
#define GRABFAILED 2   // nothing was copied from the screen: no frame

// Grabs the capture rectangle into a new frame record: the milliseconds
// since the previous frame (gkesto.burst.starttime, which it then updates),
// the local time, both headers and the pixels.  The block's handle and
// locked address go to *handle and *frame.  A rectangle of no width or
// height, or a copy or read of the screen that fails, is no frame: nothing
// is kept and the previous frame's time stays, so its interval goes to the
// next frame.
int grabframe(OsHandle* handle, uint8_t** frame);

// Writes a file whole: the bytes a (na), then b (nb; may be none), created
// with disposition (OS_CREATE_NEW never touches an existing file).  1 when
// every byte was written and the file closed; otherwise 0 with *error the
// system's reason (never 0: a short write or a failed close with no reason
// is a write fault), and the partial file removed.
int writewholefile(const char* path, uint32_t disposition, const void* a, uint32_t na, const void* b, uint32_t nb,
                   uint32_t* error);

// Screenshot names with the local time t under the program folder home:
// month folder "ss%d%02d", day folder "d%02d" in it, and the file
// "KestoSS_%d%02d%02d_%02d%02d_%02d_%03d.bmp" in that.  Each buffer holds n
// bytes; 0 when a path would not fit.
int sspaths(const char* home, const OsTime& t, char* month, char* day, char* file, int n);
// Makes the screenshot folders for the time now and sets path (n bytes) to
// the next screenshot file; a name taken already gets "_2", "_3", ... before
// ".bmp".  1, or 0 with why set to the message for the user (the caller
// shows it, its ticks paused).
int ssname(char* path, int n, const char** why);

// The size of a clipboard image from its header: width and |height| (the
// sign of the height only gives the order of the rows).  1 when both are
// positive and its 24-bit rows fit bufsize bytes, else 0 (width and height 0).
int clipimagesize(const OsBitmapHeader& h, uint64_t bufsize, int32_t* width, int32_t* height);
// 1 when the screen rectangle r (left, top, right, bottom) lies inside an
// image of width x height pixels and is narrower than it: a screenshot is
// then cut to r.
int cropinside(int32_t width, int32_t height, const int32_t r[4]);
// Copies the rectangle r (cropinside holds) out of the bottom-up 24-bit rows
// of an image of width x height pixels into bottom-up rows of r's size,
// each padded with zero bytes to four bytes.
void croprows(const uint8_t* full, int32_t width, int32_t height, const int32_t r[4], uint8_t* crop);
