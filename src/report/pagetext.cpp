// The Japanese texts of the pages (see pagetext.h).
#include "report/pagetext.h"

const char kholecell[] = "\t<td> ホール </td>\r\n";

const char* const kmarkers[6] = {
    "<font color =#B03000>●</font><b>", "<font color =#FF0000>●</font><b>", "<font color =#FFC000>●</font><b>",
    "<font color =#F0FF00>●</font><b>", "<font color =#00E000>●</font><b>", "<font color =#0000F0>●</font><b>",
};

const char kstages1[] = "<br><center>%s1-3H:</b>%s　\r\n%s4-6H:</b>%s　\r\n%s7-9H:</b>%s</center>\r\n";
const char kstages2[] = "<center>%s10-12H:</b>%s　\r\n%s13-15H:</b>%s　\r\n%s16-18H:</b>%s</center>\r\n";

const char klinktitle[] = "収録カントリークラブ　リンク集";
