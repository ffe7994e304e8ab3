// The Japanese texts of the scorecard and link list pages, kept apart from
// the writers (mkhtm.cpp holds no non-ASCII literal), so that the fuzz build,
// whose compiler cannot turn literals into Shift-JIS, links the writers with
// stand-ins of its own.
#pragma once

// The first cell of the header row: "\t<td> ホール </td>\r\n".
extern const char kholecell[];
// The coloured dots that open the bold labels of the stage summary.
extern const char* const kmarkers[6];
// The two lines of the stage summary: marker, stage text, three times each;
// a full-width space follows each of the first two stage texts of a line.
extern const char kstages1[];
extern const char kstages2[];
// The title of the link list.
extern const char klinktitle[];
