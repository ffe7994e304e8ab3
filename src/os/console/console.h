// What a command-line tool needs of the system beside the seam (os.h): its
// arguments in the seam's form and text on its standard streams in the
// terminal's own encoding.  Linked by the tools only, never by kesto.exe.
//
// Linux: the arguments are the bytes as given; text goes out converted from
// Shift-JIS to the locale's encoding (UTF-8 when the locale names none).
// Windows: the arguments come from the UTF-16 command line as Shift-JIS;
// text goes to a console as UTF-16, and to a file or pipe in the console's
// code page.
#pragma once

// The tool's own entry point, called by the platform's main.
int conmain(int argc, char** argv);
// Writes a Shift-JIS text to standard output (stream 1) or standard error
// (stream 2), converted; bytes that are no Shift-JIS character become '?'.
void conputs(int stream, const char* sjis);
// Writes an argument as the tool received it (a path, say) to the stream.
void conputarg(int stream, const char* arg);
// Writes UTF-8 bytes to the stream as they are (JSON for other programs),
// whatever the terminal's encoding.
void conpututf8(int stream, const char* utf8);
