// The viewer page of a burst folder.  The page's own texts are ASCII here:
// its Japanese words are character references (HTML) and \u escapes
// (script), so the page is UTF-8 whatever this file is compiled to.
#include "report/burstview.h"

#include <cstdio>
#include <cstring>

#include "capture/burstdir.h"
#include "config/textfile.h"
#include "report/cp932.h"

// The folder as read: one table of the program's, written into one page at
// a time.
static BurstDir gviewdir;

// The page is written in pieces through a buffer into the replacement.
struct PageOut {
  Replacement rep;
  int32_t n;
  char buf[16384];
};

static void flushout(PageOut& o) {
  if (o.n > 0) replacewrite(&o.rep, o.buf, (uint32_t)o.n);
  o.n = 0;
}

static void put(PageOut& o, const char* p, int32_t n) {
  while (n > 0) {
    int32_t room = (int32_t)sizeof o.buf - o.n;
    if (room == 0) {
      flushout(o);
      room = (int32_t)sizeof o.buf;
    }
    int32_t k = n < room ? n : room;
    memcpy(o.buf + o.n, p, (size_t)k);
    o.n += k;
    p += k;
    n -= k;
  }
}

static void puts_(PageOut& o, const char* s) { put(o, s, (int32_t)strlen(s)); }

// UTF-8 text as HTML text: & < > " ' escaped.
static void puthtml(PageOut& o, const char* s) {
  for (; *s; s++) {
    switch (*s) {
      case '&': puts_(o, "&amp;"); break;
      case '<': puts_(o, "&lt;"); break;
      case '>': puts_(o, "&gt;"); break;
      case '"': puts_(o, "&quot;"); break;
      case '\'': puts_(o, "&#39;"); break;
      default: put(o, s, 1);
    }
  }
}

// UTF-8 text as a JSON string inside a script element: quotes, backslashes
// and control characters escaped, and < > & as \u escapes, so the text can
// never close the element or become markup.
static void putjson(PageOut& o, const char* s) {
  put(o, "\"", 1);
  for (; *s; s++) {
    unsigned char c = (unsigned char)*s;
    if (c == '"' || c == '\\') {
      char e[2] = {'\\', (char)c};
      put(o, e, 2);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7F) {
      char e[8];
      snprintf(e, sizeof e, "\\u%04x", c);
      put(o, e, 6);
    } else {
      put(o, s, 1);
    }
  }
  put(o, "\"", 1);
}

static const char kpagehead[] =
    "<!DOCTYPE html>\n"
    "<html lang=\"ja\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width\">\n"
    "<meta name=\"generator\" content=\"KESTO\">\n";

static const char kstyle[] =
    "<style>\n"
    "body{margin:0;background:#202428;color:#e8e8e8;font:14px/1.5 sans-serif}\n"
    "header,#bar,#info,#keys{padding:4px 12px}\n"
    "h1{font-size:14px;font-weight:normal;margin:0;word-break:break-all;color:#b8c4d0}\n"
    "#stage{text-align:center;background:#000;min-height:120px;position:relative}\n"
    "#stage img{max-width:100%;image-rendering:pixelated;display:inline-block;vertical-align:top}\n"
    "#missing{color:#ff8080;font-weight:bold;padding:40px 0}\n"
    "#bar{display:flex;gap:8px;align-items:center;flex-wrap:wrap}\n"
    "#slider{flex:1;min-width:200px}\n"
    "button{background:#384048;color:#fff;border:1px solid #607080;border-radius:3px;padding:2px 10px;font-size:14px}\n"
    "button.on{background:#2a6ab0;border-color:#8cf}\n"
    "#info span{font-variant-numeric:tabular-nums;display:inline-block;min-width:5em;text-align:right}\n"
    "#keys{color:#98a4b0;font-size:12px}\n"
    "</style>\n";

// play, pause, frame, time, interval, loop, missing file, speed, first, last
static const char kbody[] =
    "<div id=\"stage\"></div>\n"
    "<div id=\"bar\">\n"
    "<button id=\"play\" title=\"Space\">&#x518D;&#x751F;</button>\n"
    "<input id=\"slider\" type=\"range\" min=\"1\" max=\"1\" value=\"1\" step=\"1\">\n"
    "<span id=\"pos\"></span>\n"
    "</div>\n"
    "<div id=\"info\">&#x6642;&#x523B; <span id=\"time\"></span> ms &#x3000; "
    "&#x9593;&#x9694; <span id=\"tic\"></span> ms &#x3000; <span id=\"name\"></span></div>\n"
    "<div id=\"bar2\" style=\"padding:4px 12px\">&#x901F;&#x5EA6; "
    "<button class=\"rate on\" data-rate=\"1\" title=\"1\">1&#xD7;</button> "
    "<button class=\"rate\" data-rate=\"0.5\" title=\"2\">&#xBD;&#xD7;</button> "
    "<button class=\"rate\" data-rate=\"0.25\" title=\"4\">&#xBC;&#xD7;</button> "
    "<button class=\"rate\" data-rate=\"0.125\" title=\"8\">&#x215B;&#xD7;</button> &#x3000; "
    "<button id=\"loop\" title=\"L\">&#x30EB;&#x30FC;&#x30D7;</button></div>\n"
    "<div id=\"keys\">&#x2190; &#x2192; &#x30B3;&#x30DE;&#x9001;&#x308A; &#x3000; Space "
    "&#x518D;&#x751F;/&#x505C;&#x6B62; &#x3000; Home &#x6700;&#x521D; &#x3000; End &#x6700;&#x5F8C; &#x3000; "
    "1 2 4 8 &#x901F;&#x5EA6; (1&#xD7; &#xBD;&#xD7; &#xBC;&#xD7; &#x215B;&#xD7;) &#x3000; L "
    "&#x30EB;&#x30FC;&#x30D7;</div>\n";

// The player.  Frame k (from 0) is shown at its time from the first frame
// divided by the speed, counted from the moment playing started: each timer
// is set for the next frame's moment, so late timers never add up.  A frame
// that cannot be loaded is shown as missing and playing goes on.
static const char kscript[] =
    "<script>\n"
    "(function(){\n"
    "'use strict';\n"
    "var D=JSON.parse(document.getElementById('kesto-burst').textContent);\n"
    "var F=D.frames,N=F.length,AHEAD=60;\n"
    "var MISSING='\\u30d5\\u30a1\\u30a4\\u30eb\\u304c\\u3042\\u308a\\u307e\\u305b\\u3093';\n"
    "var PLAY='\\u518d\\u751f',PAUSE='\\u4e00\\u6642\\u505c\\u6b62';\n"
    "function $(id){return document.getElementById(id);}\n"
    "var stage=$('stage'),slider=$('slider');\n"
    "var S={i:0,playing:false,rate:1,loop:false,timer:0,t0:0,base:0,trace:[],missing:{},count:N};\n"
    "window.kestoViewer=S;\n"
    "var cache={};\n"
    "var tics=F.slice(1).map(function(f){return Math.max(0,f[2]);}).sort(function(a,b){return a-b;});\n"
    "var MEDIAN=tics.length?tics[(tics.length-1)>>1]:0;\n"
    "function img(k){\n"
    " var e=cache[k];\n"
    " if(e)return e;\n"
    " e=document.createElement('img');\n"
    " e.alt=F[k][0];e.decoding='sync';\n"
    " e.onload=function(){e.setAttribute('data-state','loaded');};\n"
    " e.onerror=function(){e.setAttribute('data-state','missing');S.missing[k]=1;if(k===S.i)label(k);};\n"
    " e.src=encodeURIComponent(F[k][0]);\n"
    " cache[k]=e;return e;\n"
    "}\n"
    "function preload(k){\n"
    " for(var j=k;j<N&&j<=k+AHEAD;j++)img(j);\n"
    " for(var key in cache){var q=+key;if(q<k-AHEAD||q>k+AHEAD)delete cache[key];}\n"
    "}\n"
    "function label(k){\n"
    " var f=F[k],gone=!!S.missing[k]||f[4]===0;\n"
    " $('pos').textContent=(k+1)+' / '+N;\n"
    " $('time').textContent=String(f[3]);\n"
    " $('tic').textContent=String(f[2]);\n"
    " $('name').textContent=gone?f[0]+' \\u2014 '+MISSING:f[0];\n"
    " var m=$('missing');\n"
    " if(gone){if(!m){m=document.createElement('div');m.id='missing';}m.textContent=MISSING+': '+f[0];"
    "if(stage.firstChild!==m)stage.replaceChildren(m);}\n"
    "}\n"
    "function show(k){\n"
    " if(N===0)return;\n"
    " S.i=k;slider.value=String(k+1);\n"
    " var e=img(k);\n"
    " if(stage.firstChild!==e)stage.replaceChildren(e);\n"
    " label(k);preload(k);\n"
    "}\n"
    "function elapsed(){return S.base+(performance.now()-S.t0)*S.rate;}\n"
    "function setbutton(){$('play').textContent=S.playing?PAUSE:PLAY;}\n"
    "function stop(){S.playing=false;clearTimeout(S.timer);S.timer=0;setbutton();}\n"
    "function tick(){\n"
    " S.timer=0;\n"
    " if(!S.playing)return;\n"
    " var t=elapsed(),k=S.i;\n"
    " while(k+1<N&&F[k+1][3]<=t)k++;\n"
    " if(k!==S.i){show(k);S.trace.push([k,performance.now()]);}\n"
    " if(k>=N-1){\n"
    "  if(!S.loop){stop();return;}\n"
    "  S.timer=setTimeout(function(){if(!S.playing)return;begin(0);},MEDIAN/S.rate);\n"
    "  return;\n"
    " }\n"
    " S.timer=setTimeout(tick,Math.max(0,S.t0+(F[k+1][3]-S.base)/S.rate-performance.now()));\n"
    "}\n"
    "function begin(k){\n"
    " show(k);S.base=F[k][3];S.t0=performance.now();S.trace=[[k,S.t0]];tick();\n"
    "}\n"
    "function play(){\n"
    " if(N<2)return;\n"
    " S.playing=true;setbutton();\n"
    " begin(S.i>=N-1?0:S.i);\n"
    "}\n"
    "function toggle(){if(S.playing)stop();else play();}\n"
    "function go(k){stop();show(Math.max(0,Math.min(N-1,k)));}\n"
    "function rate(r){\n"
    " if(S.playing){S.base=elapsed();S.t0=performance.now();clearTimeout(S.timer);}\n"
    " S.rate=r;\n"
    " var b=document.querySelectorAll('button.rate');\n"
    " for(var j=0;j<b.length;j++)b[j].className=+b[j].getAttribute('data-rate')===r?'rate on':'rate';\n"
    " if(S.playing)tick();\n"
    "}\n"
    "function loop(){S.loop=!S.loop;$('loop').className=S.loop?'on':'';}\n"
    "S.play=play;S.stop=stop;S.go=go;S.rateto=rate;\n"
    "document.addEventListener('keydown',function(e){\n"
    " if(e.altKey||e.ctrlKey||e.metaKey)return;\n"
    " var k=e.key;\n"
    " if(k==='ArrowRight')go(S.i+1);\n"
    " else if(k==='ArrowLeft')go(S.i-1);\n"
    " else if(k===' '||k==='Spacebar')toggle();\n"
    " else if(k==='Home')go(0);\n"
    " else if(k==='End')go(N-1);\n"
    " else if(k==='1')rate(1);\n"
    " else if(k==='2')rate(0.5);\n"
    " else if(k==='4')rate(0.25);\n"
    " else if(k==='8')rate(0.125);\n"
    " else if(k==='l'||k==='L')loop();\n"
    " else return;\n"
    " e.preventDefault();\n"
    "});\n"
    "var bs=document.querySelectorAll('button');\n"
    "for(var j=0;j<bs.length;j++)bs[j].addEventListener('mousedown',function(e){e.preventDefault();});\n"
    "$('play').addEventListener('click',toggle);\n"
    "$('loop').addEventListener('click',loop);\n"
    "var rs=document.querySelectorAll('button.rate');\n"
    "for(var j2=0;j2<rs.length;j2++)rs[j2].addEventListener('click',function(){rate(+this.getAttribute('data-rate'));});\n"
    "slider.max=String(Math.max(1,N));\n"
    "slider.addEventListener('input',function(){go(+slider.value-1);});\n"
    "if(N===0){$('pos').textContent='0 / 0';}else show(0);\n"
    "})();\n"
    "</script>\n"
    "</body>\n"
    "</html>\n";

// The search goes forward so that a trail byte 0x5C is never taken for a
// backslash.
const char* lastpart(const char* path) {
  const char* last = path;
  for (const char* p = path; *p; p++) {
    unsigned char c = (unsigned char)*p;
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      if (p[1]) p++;
      continue;
    }
    if (c == '\\') last = p + 1;
  }
  return last;
}

static void writepage(PageOut& o, const BurstDir& d) {
  static char folder[PATHSIZE * 3 + 4], name[PATHSIZE * 3 + 4];
  sjistoutf8(folder, (int32_t)sizeof folder, d.folder, (int32_t)strlen(d.folder));
  sjistoutf8(name, (int32_t)sizeof name, lastpart(d.folder), (int32_t)strlen(lastpart(d.folder)));
  puts_(o, kpagehead);
  puts_(o, "<title>");
  puthtml(o, name);
  puts_(o, " - KESTO</title>\n");
  puts_(o, kstyle);
  puts_(o, "</head>\n<body>\n<header><h1 id=\"folder\">");
  puthtml(o, folder);
  puts_(o, "</h1></header>\n");
  puts_(o, kbody);
  // The frames as data: [name, number, Tic, time from the first, file there].
  puts_(o, "<script type=\"application/json\" id=\"kesto-burst\">{\"folder\":");
  putjson(o, folder);
  puts_(o, ",\"log\":");
  putjson(o, d.logname);
  char line[160];
  int n = snprintf(line, sizeof line, ",\"damaged\":%d,\"frames\":[", (int)d.damaged);
  put(o, line, n);
  for (int32_t i = 0; i < d.count; i++) {
    const BurstFrame& f = d.frames[i];
    put(o, i ? ",\n[" : "\n[", i ? 3 : 2);
    putjson(o, f.name);
    n = snprintf(line, sizeof line, ",%d,%lld,%lld,%d]", (int)f.number, (long long)f.tic, (long long)f.time,
                 (int)f.exists);
    put(o, line, n);
  }
  puts_(o, "]}</script>\n");
  puts_(o, kscript);
  flushout(o);
}

int writeburstviewer(const char* folder, ViewerResult* r) {
  memset(r, 0, sizeof *r);
  BurstDir& d = gviewdir;
  int got = readburstdir(folder, &d);
  if (got != BURSTDIR_READ) {
    snprintf(r->path, sizeof r->path, "%s%s%s", folder, d.logname[0] ? "\\" : "", d.logname);
    r->error = d.error;
    return got == BURSTDIR_NOLOG ? VIEWER_NOLOG : VIEWER_UNREAD;
  }
  r->frames = d.count;
  r->missing = d.missing;
  r->damaged = d.damaged;
  int len = snprintf(r->path, sizeof r->path, "%s\\%s", folder, VIEWERNAME);
  if (len < 0 || len >= (int)sizeof r->path) {
    r->error = OS_ERROR_PATH_NOT_FOUND;
    return VIEWER_FAILED;
  }
  static PageOut o;
  o.n = 0;
  if (!beginreplace(&o.rep, r->path)) {
    r->error = o.rep.error;
    return VIEWER_FAILED;
  }
  writepage(o, d);
  if (!endreplace(&o.rep, 1)) {
    r->error = o.rep.error ? o.rep.error : OS_ERROR_WRITE_FAULT;
    return VIEWER_FAILED;
  }
  return VIEWER_WRITTEN;
}
