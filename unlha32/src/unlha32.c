/*
 * unlha32.c - LZH archive reader with the UnlhaXxx C interface.
 *
 * Layout of this file:
 *   Source   - random access to the archive bytes (a file read with pread
 *              through a 64 KiB window, or a memory block)
 *   Cursor   - a position within a Source, fed to lhasa as LHAInputStream
 *              (headers) or as decoder callback (compressed data)
 *   Names    - member names from the raw header bytes, converted to UTF-8
 *   Raw      - reads one header without lhasa: its lengths, checksum and
 *              header CRC, so that a walk can go on past a header lhasa
 *              refuses and a self-extracting stub can be told from an archive
 *   Walker   - iterates over the member headers with lhasa's LHAReader and
 *              parses each raw header into a Member
 *   Locate   - finds where the archive starts (offset 0, or after an "MZ"
 *              stub within the first 1 MiB)
 *   Extract  - decodes one member into the caller's buffer with LHADecoder
 *              (only the methods listed in extract_method_allowed)
 *   Wildcards, command line, and the exported entry points.
 *
 * lhasa parses each header and validates it; its file name, time and
 * attribute fields are not used (it turns 0x5C inside Shift-JIS names into
 * "/" and lower-cases all-capital names): those come from raw_data.
 */
#define _POSIX_C_SOURCE 200809L
#define _DEFAULT_SOURCE 1

#include "unlha32.h"
#include "unlha_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <lhasa.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

/* ======================================================================
 * Source
 * ==================================================================== */

#define WINDOW_SIZE 65536u
#define SFX_SCAN_LIMIT (1u << 20) /* archive must start within this many bytes */
#define RAW_HEADER_MAX (1u << 20) /* longest header read without lhasa (its own level 3 limit) */
/* Header bytes the search for the archive in a self-extracting file may
 * examine in all: bounds the work on a stub crafted full of look-alikes. */
#define SFX_SCAN_BUDGET (16u << 20)

typedef struct Source {
    int fd;              /* -1 for a memory source */
    const uint8_t* mem;  /* memory source bytes */
    uint64_t size;       /* total size in bytes */
    uint8_t* win;        /* read window for a file source */
    uint64_t win_off;
    size_t win_len;
} Source;

static void source_init_memory(Source* s, const void* data, size_t len)
{
    memset(s, 0, sizeof *s);
    s->fd = -1;
    s->mem = (const uint8_t*)data;
    s->size = data != NULL ? (uint64_t)len : 0;
}

static int source_open_file(Source* s, const char* path)
{
    struct stat st;

    memset(s, 0, sizeof *s);
    s->fd = -1;
    if (path == NULL || path[0] == '\0') {
        return 0;
    }
    /* O_NONBLOCK: opening a FIFO must not wait for a writer (it is then
     * refused below); reads from a regular file ignore the flag. */
    s->fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (s->fd < 0) {
        return 0;
    }
    /* Only regular files: a device or a pipe could be endless. */
    if (fstat(s->fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(s->fd);
        s->fd = -1;
        return 0;
    }
    s->size = (uint64_t)st.st_size;
    return 1;
}

static void source_close(Source* s)
{
    if (s->fd >= 0) {
        close(s->fd);
    }
    free(s->win);
    memset(s, 0, sizeof *s);
    s->fd = -1;
}

/* pread that retries on EINTR; returns bytes read, 0 at end or on error. */
static size_t read_at(int fd, void* dst, size_t n, uint64_t off)
{
    ssize_t r;

    if (n > (size_t)1 << 30) {
        n = (size_t)1 << 30;
    }
    do {
        r = pread(fd, dst, n, (off_t)off);
    } while (r < 0 && errno == EINTR);
    return r > 0 ? (size_t)r : 0;
}

/* Copies up to n bytes at offset off; returns how many were available. */
static size_t source_read(Source* s, uint64_t off, void* dst, size_t n)
{
    uint8_t* out = (uint8_t*)dst;
    size_t done = 0;

    if (off >= s->size || n == 0) {
        return 0;
    }
    if ((uint64_t)n > s->size - off) {
        n = (size_t)(s->size - off);
    }
    if (s->fd < 0) {
        memcpy(out, s->mem + off, n);
        return n;
    }
    while (done < n) {
        uint64_t pos = off + done;
        size_t r;

        if (s->win_len > 0 && pos >= s->win_off && pos < s->win_off + s->win_len) {
            size_t avail = (size_t)(s->win_off + s->win_len - pos);
            size_t k = avail < n - done ? avail : n - done;
            memcpy(out + done, s->win + (pos - s->win_off), k);
            done += k;
            continue;
        }
        if (n - done >= WINDOW_SIZE) {
            r = read_at(s->fd, out + done, n - done, pos);
            if (r == 0) {
                break;
            }
            done += r;
            continue;
        }
        if (s->win == NULL) {
            s->win = (uint8_t*)malloc(WINDOW_SIZE);
            if (s->win == NULL) {
                r = read_at(s->fd, out + done, n - done, pos);
                if (r == 0) {
                    break;
                }
                done += r;
                continue;
            }
        }
        s->win_len = 0;
        r = read_at(s->fd, s->win, WINDOW_SIZE, pos);
        if (r == 0) {
            break;
        }
        s->win_off = pos;
        s->win_len = r;
    }
    return done;
}

/* ======================================================================
 * Cursor: a position in a Source, bounded by an end offset
 * ==================================================================== */

typedef struct Cursor {
    Source* src;
    uint64_t pos;
    uint64_t end;
} Cursor;

static size_t cursor_take(Cursor* c, void* buf, size_t len)
{
    size_t n;
    uint64_t avail = c->end > c->pos ? c->end - c->pos : 0;

    if ((uint64_t)len > avail) {
        len = (size_t)avail;
    }
    n = source_read(c->src, c->pos, buf, len);
    c->pos += n;
    return n;
}

static int cursor_stream_read(void* handle, void* buf, size_t len)
{
    if (len > INT_MAX) {
        len = INT_MAX;
    }
    return (int)cursor_take((Cursor*)handle, buf, len);
}

static int cursor_stream_skip(void* handle, size_t bytes)
{
    Cursor* c = (Cursor*)handle;
    uint64_t avail = c->end > c->pos ? c->end - c->pos : 0;

    if ((uint64_t)bytes > avail) {
        c->pos = c->end;
        return 0;
    }
    c->pos += bytes;
    return 1;
}

static const LHAInputStreamType cursor_stream_type = {
    cursor_stream_read,
    cursor_stream_skip,
    NULL,
};

static size_t cursor_decoder_read(void* buf, size_t len, void* user_data)
{
    return cursor_take((Cursor*)user_data, buf, len);
}

/* ======================================================================
 * Names
 * ==================================================================== */

typedef enum { ENC_ASCII, ENC_CP932, ENC_UTF8, ENC_OTHER } Encoding;

/* Conversion state kept per archive handle or per extraction. */
typedef struct Conv {
    iconv_t cd932;         /* CP932 -> UTF-8, opened on first use */
    int cd932_tried;
    iconv_t cd_other;      /* code page of the last 0x46 header */
    uint32_t other_cp;
} Conv;

static void conv_init(Conv* c)
{
    c->cd932 = (iconv_t)-1;
    c->cd932_tried = 0;
    c->cd_other = (iconv_t)-1;
    c->other_cp = 0;
}

static void conv_free(Conv* c)
{
    if (c->cd932 != (iconv_t)-1) {
        iconv_close(c->cd932);
    }
    if (c->cd_other != (iconv_t)-1) {
        iconv_close(c->cd_other);
    }
    conv_init(c);
}

static iconv_t conv_cd932(Conv* c)
{
    if (!c->cd932_tried) {
        c->cd932_tried = 1;
        c->cd932 = iconv_open("UTF-8", "CP932");
    }
    return c->cd932;
}

/* iconv for a Windows code page other than 932 and 65001, or (iconv_t)-1. */
static iconv_t conv_cd_other(Conv* c, uint32_t cp)
{
    char name[32];

    if (c->other_cp == cp) {
        return c->cd_other;
    }
    if (c->cd_other != (iconv_t)-1) {
        iconv_close(c->cd_other);
    }
    snprintf(name, sizeof name, "CP%u", (unsigned)cp);
    c->cd_other = iconv_open("UTF-8", name);
    c->other_cp = cp;
    return c->cd_other;
}

static int is_sjis_lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
static int is_sjis_trail(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

/* Length of the CP932 character at p (1 or 2), given n > 0 bytes remain. */
static size_t sjis_char_len(const uint8_t* p, size_t n)
{
    return (is_sjis_lead(p[0]) && n >= 2 && is_sjis_trail(p[1])) ? 2 : 1;
}

/* Length of a valid UTF-8 sequence at p, 0 if invalid. */
static size_t utf8_seq_len(const uint8_t* p, size_t n)
{
    uint8_t b = p[0];
    size_t len, i;
    uint32_t cp;

    if (b < 0x80) {
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (n < len) {
        return 0;
    }
    for (i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
        || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

/* Is the byte string valid in the encoding, separators (0xFF) allowed? */
static int bytes_valid_utf8(const uint8_t* p, size_t n)
{
    size_t i = 0;

    while (i < n) {
        size_t k;
        if (p[i] == 0xFF) {
            ++i;
            continue;
        }
        k = utf8_seq_len(p + i, n - i);
        if (k == 0) {
            return 0;
        }
        i += k;
    }
    return 1;
}

static int bytes_valid_cp932(const uint8_t* p, size_t n)
{
    size_t i = 0;

    while (i < n) {
        uint8_t b = p[i];
        if (b < 0x80 || b == 0xFF || (b >= 0xA1 && b <= 0xDF)) {
            ++i;
        } else if (is_sjis_lead(b) && i + 1 < n && is_sjis_trail(p[i + 1])) {
            i += 2;
        } else {
            return 0;
        }
    }
    return 1;
}

static int bytes_ascii(const uint8_t* p, size_t n)
{
    size_t i;

    for (i = 0; i < n; ++i) {
        if (p[i] >= 0x80) {
            return 0;
        }
    }
    return 1;
}

/* Builds a member name: components joined by "/", at most UNLHA_NAME_MAX
 * bytes, never cut inside a UTF-8 sequence. */
typedef struct NameBuilder {
    char text[UNLHA_NAME_MAX + 1];
    size_t len;
    int full;
    int need_sep;
} NameBuilder;

static void nb_init(NameBuilder* b)
{
    b->text[0] = '\0';
    b->len = 0;
    b->full = 0;
    b->need_sep = 0;
}

/* Appends valid UTF-8 (the caller guarantees validity) as far as it fits. */
static void nb_put(NameBuilder* b, const char* s, size_t n)
{
    size_t room, take;

    if (b->full || n == 0) {
        return;
    }
    room = UNLHA_NAME_MAX - b->len;
    take = n;
    if (take > room) {
        take = room;
        /* Back off to a character boundary. */
        while (take > 0 && (((uint8_t)s[take]) & 0xC0) == 0x80) {
            --take;
        }
        b->full = 1;
    }
    memcpy(b->text + b->len, s, take);
    b->len += take;
    b->text[b->len] = '\0';
}

static void nb_begin_component(NameBuilder* b)
{
    if (b->need_sep) {
        nb_put(b, "/", 1);
    }
    b->need_sep = 0;
}

static void nb_put_replacement(NameBuilder* b)
{
    nb_put(b, "\xEF\xBF\xBD", 3); /* U+FFFD */
}

static void nb_put_codepoint(NameBuilder* b, uint32_t cp)
{
    char u[4];
    size_t n;

    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        nb_put_replacement(b);
        return;
    }
    if (cp < 0x80) {
        u[0] = (char)cp;
        n = 1;
    } else if (cp < 0x800) {
        u[0] = (char)(0xC0 | (cp >> 6));
        u[1] = (char)(0x80 | (cp & 0x3F));
        n = 2;
    } else if (cp < 0x10000) {
        u[0] = (char)(0xE0 | (cp >> 12));
        u[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
        u[2] = (char)(0x80 | (cp & 0x3F));
        n = 3;
    } else {
        u[0] = (char)(0xF0 | (cp >> 18));
        u[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
        u[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
        u[3] = (char)(0x80 | (cp & 0x3F));
        n = 4;
    }
    nb_put(b, u, n);
}

/* Appends one component (no separators inside) decoded from UTF-8, with
 * invalid bytes shown as U+FFFD. */
static void nb_put_utf8_component(NameBuilder* b, const uint8_t* p, size_t n)
{
    size_t i = 0;

    while (i < n && !b->full) {
        size_t k = utf8_seq_len(p + i, n - i);
        if (k == 0) {
            nb_put_replacement(b);
            ++i;
        } else {
            nb_put(b, (const char*)p + i, k);
            i += k;
        }
    }
}

/* Appends one component through iconv; characters it cannot convert become
 * U+FFFD. `two_byte` tells how to skip a bad character (CP932 walk). */
static void nb_put_iconv_component(NameBuilder* b, iconv_t cd, const uint8_t* p, size_t n, int cp932)
{
    char out[3 * (UNLHA_NAME_MAX + 8)];
    size_t limit = UNLHA_NAME_MAX + 4;
    size_t i;

    /* Every input byte yields at least one output byte, so input beyond the
     * name limit cannot show; cut it at a character boundary. */
    if (n > limit) {
        i = 0;
        while (i < n) {
            size_t k = cp932 ? sjis_char_len(p + i, n - i) : 1;
            if (i + k > limit) {
                break;
            }
            i += k;
        }
        n = i;
    }
    if (cd == (iconv_t)-1) {
        /* No converter: keep ASCII, mark everything else. */
        i = 0;
        while (i < n) {
            if (p[i] < 0x80) {
                nb_put(b, (const char*)p + i, 1);
                ++i;
            } else {
                nb_put_replacement(b);
                i += cp932 ? sjis_char_len(p + i, n - i) : 1;
            }
        }
        return;
    }
    {
        char* inp = (char*)p;
        size_t inleft = n;
        char* outp = out;
        size_t outleft = sizeof out;

        iconv(cd, NULL, NULL, NULL, NULL);
        while (inleft > 0) {
            size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
            size_t skip;
            if (r != (size_t)-1) {
                break;
            }
            if (errno == E2BIG || outleft < 3) {
                break;
            }
            /* EILSEQ or EINVAL: one unconvertible character. */
            memcpy(outp, "\xEF\xBF\xBD", 3);
            outp += 3;
            outleft -= 3;
            skip = cp932 ? sjis_char_len((const uint8_t*)inp, inleft) : 1;
            inp += skip;
            inleft -= skip;
            iconv(cd, NULL, NULL, NULL, NULL);
        }
        /* iconv output is valid UTF-8; still pass it through the checker so
         * that nothing unexpected reaches the record. */
        nb_put_utf8_component(b, (const uint8_t*)out, (size_t)(outp - out));
    }
}

/* Appends a path given as bytes in `enc`. Separators: 0xFF, "\" and "/"
 * (single-byte characters only: a CP932 trail byte 0x5C is no separator).
 * A NUL byte ends the string. Empty components are dropped. */
static void nb_put_bytes_path(NameBuilder* b, Conv* conv, const uint8_t* p, size_t n, Encoding enc,
                              uint32_t codepage)
{
    size_t i = 0, start = 0;
    int cp932 = enc == ENC_CP932;

    for (;;) {
        int at_end = i >= n || p[i] == 0;
        int is_sep = !at_end && (p[i] == 0xFF || p[i] == '\\' || p[i] == '/');

        if (at_end || is_sep) {
            if (i > start) {
                const uint8_t* comp = p + start;
                size_t len = i - start;
                nb_begin_component(b);
                if (bytes_ascii(comp, len) || enc == ENC_UTF8 || enc == ENC_ASCII) {
                    nb_put_utf8_component(b, comp, len);
                } else if (enc == ENC_OTHER) {
                    nb_put_iconv_component(b, conv_cd_other(conv, codepage), comp, len, 0);
                } else {
                    nb_put_iconv_component(b, conv_cd932(conv), comp, len, 1);
                }
                b->need_sep = 1;
            }
            if (at_end) {
                break;
            }
            ++i;
            start = i;
        } else {
            i += cp932 ? sjis_char_len(p + i, n - i) : 1;
        }
    }
}

/* Appends a path given as UTF-16LE; separators U+005C, U+002F, U+FFFF. */
static void nb_put_utf16_path(NameBuilder* b, const uint8_t* p, size_t n)
{
    size_t i = 0;
    int in_component = 0;

    while (i + 1 < n && !b->full) {
        uint32_t u = (uint32_t)p[i] | ((uint32_t)p[i + 1] << 8);
        i += 2;
        if (u == 0) {
            break;
        }
        if (u == 0x5C || u == 0x2F || u == 0xFFFF) {
            if (in_component) {
                b->need_sep = 1;
            }
            in_component = 0;
            continue;
        }
        if (!in_component) {
            nb_begin_component(b);
            in_component = 1;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            uint32_t lo = (uint32_t)p[i] | ((uint32_t)p[i + 1] << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                i += 2;
                nb_put_codepoint(b, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                continue;
            }
        }
        nb_put_codepoint(b, u); /* a lone surrogate becomes U+FFFD */
    }
    if (in_component) {
        b->need_sep = 1;
    }
}

/* ======================================================================
 * Member: what one header says, parsed from lhasa's raw header bytes
 * ==================================================================== */

typedef struct Member {
    char name[UNLHA_NAME_MAX + 1];
    char method[6];
    uint64_t data_offset;
    uint64_t compressed;
    uint64_t length;
    uint16_t crc;
    uint16_t dos_date;
    uint16_t dos_time;
    uint8_t attr;
    uint8_t os_type;
    uint8_t level;
    int is_dir;
    int nameless; /* the header names nothing: its name is a placeholder */
    int have_unix_time;
    int64_t unix_time;
} Member;

/* Pieces of the raw header needed for the name. */
typedef struct RawInfo {
    const uint8_t* base;   /* level 0/1 name field */
    size_t base_len;
    const uint8_t* fname;  /* 0x01 */
    size_t fname_len;
    const uint8_t* dir;    /* 0x02 */
    size_t dir_len;
    const uint8_t* uname;  /* 0x44 UTF-16LE */
    size_t uname_len;
    const uint8_t* udir;   /* 0x45 UTF-16LE */
    size_t udir_len;
    uint32_t codepage;     /* 0x46 */
    int have_attr;         /* 0x40 */
    uint8_t attr;
    int have_win_time;     /* 0x41 */
    int64_t win_time;      /* as Unix time */
} RawInfo;

static uint16_t rd16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
static uint32_t rd32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
static uint64_t rd64(const uint8_t* p) { return (uint64_t)rd32(p) | ((uint64_t)rd32(p + 4) << 32); }

static void raw_ext_header(RawInfo* ri, uint8_t type, const uint8_t* d, size_t n)
{
    switch (type) {
    case 0x01:
        ri->fname = d;
        ri->fname_len = n;
        break;
    case 0x02:
        ri->dir = d;
        ri->dir_len = n;
        break;
    case 0x40:
        if (n >= 2) {
            ri->have_attr = 1;
            ri->attr = d[0];
        }
        break;
    case 0x41:
        if (n >= 24) {
            /* creation, modification, access: FILETIME (100 ns since 1601) */
            uint64_t ft = rd64(d + 8);
            if (ft != 0) {
                ri->have_win_time = 1;
                ri->win_time = (int64_t)(ft / 10000000u) - INT64_C(11644473600);
            }
        }
        break;
    case 0x44:
        ri->uname = d;
        ri->uname_len = n;
        break;
    case 0x45:
        ri->udir = d;
        ri->udir_len = n;
        break;
    case 0x46:
        if (n >= 4) {
            ri->codepage = rd32(d);
        }
        break;
    default:
        break;
    }
}

/* Walks an extended header chain as lhasa does: at `off` a size field of
 * `field` bytes; a header of that size holds the field, a type byte and
 * data; size 0 ends the chain. */
static void raw_ext_chain(RawInfo* ri, const uint8_t* r, size_t rl, size_t off, size_t field)
{
    int guard = 0;

    while (off <= rl && rl - off >= field && guard++ < 65536) {
        uint64_t len = field == 4 ? rd32(r + off) : rd16(r + off);
        if (len == 0) {
            break;
        }
        if (len < field + 1 || len > rl - off - field) {
            break;
        }
        raw_ext_header(ri, r[off + field], r + off + field + 1, (size_t)len - field - 1);
        off += (size_t)len;
    }
}

static void unix_to_dos(int64_t t, uint16_t* date, uint16_t* time_)
{
    struct tm tm;
    time_t tt = (time_t)t;

    if ((int64_t)tt != t || localtime_r(&tt, &tm) == NULL) {
        *date = (uint16_t)((1 << 5) | 1);
        *time_ = 0;
        return;
    }
    if (tm.tm_year < 80) {
        *date = (uint16_t)((1 << 5) | 1); /* 1980-01-01 */
        *time_ = 0;
    } else if (tm.tm_year > 207) {
        *date = (uint16_t)((127 << 9) | (12 << 5) | 31); /* 2107-12-31 */
        *time_ = (uint16_t)((23 << 11) | (59 << 5) | 29);
    } else {
        *date = (uint16_t)(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
        *time_ = (uint16_t)((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    }
}

static Encoding choose_encoding(const RawInfo* ri, const uint8_t* name, size_t name_len, uint8_t os_type)
{
    int utf8_ok, cp932_ok;

    if (bytes_ascii(name, name_len) && bytes_ascii(ri->dir, ri->dir_len)) {
        return ENC_ASCII;
    }
    if (ri->codepage == 65001) {
        return ENC_UTF8;
    }
    if (ri->codepage == 932) {
        return ENC_CP932;
    }
    if (ri->codepage != 0) {
        return ENC_OTHER;
    }
    utf8_ok = bytes_valid_utf8(name, name_len) && bytes_valid_utf8(ri->dir, ri->dir_len);
    cp932_ok = bytes_valid_cp932(name, name_len) && bytes_valid_cp932(ri->dir, ri->dir_len);
    switch (os_type) {
    case LHA_OS_TYPE_UNIX:
    case LHA_OS_TYPE_MACOS:
        /* Unix-like systems: names are usually in the locale, UTF-8 now. */
        return utf8_ok ? ENC_UTF8 : ENC_CP932;
    default:
        /* MS-DOS, Windows, generic and the rest: code page 932 first. */
        if (cp932_ok) {
            return ENC_CP932;
        }
        return utf8_ok ? ENC_UTF8 : ENC_CP932;
    }
}

static void build_name(Member* m, const RawInfo* ri, Conv* conv)
{
    NameBuilder b;
    const uint8_t* name;
    size_t name_len;
    Encoding enc;

    nb_init(&b);
    if (ri->fname != NULL) {
        name = ri->fname;
        name_len = ri->fname_len;
    } else {
        name = ri->base;
        name_len = ri->base_len;
    }
    enc = choose_encoding(ri, name, name_len, m->os_type);
    if (ri->udir != NULL) {
        nb_put_utf16_path(&b, ri->udir, ri->udir_len);
    } else if (ri->dir != NULL) {
        nb_put_bytes_path(&b, conv, ri->dir, ri->dir_len, enc, ri->codepage);
    }
    if (ri->uname != NULL) {
        nb_put_utf16_path(&b, ri->uname, ri->uname_len);
    } else if (name != NULL) {
        nb_put_bytes_path(&b, conv, name, name_len, enc, ri->codepage);
    }
    if (b.len == 0) {
        m->nameless = 1;
        nb_put_replacement(&b); /* a name of separators only */
    }
    if (m->is_dir) {
        nb_put(&b, "/", 1);
    }
    memcpy(m->name, b.text, b.len + 1);
}

/* What a header says besides its raw bytes: taken from lhasa's parse, or
 * read by raw_header_read when lhasa refuses the header. */
typedef struct HeaderFacts {
    char method[6];
    uint64_t compressed; /* the member's data alone */
    uint64_t length;
    uint16_t crc;
    uint8_t level;
    uint8_t os_type;
} HeaderFacts;

static void facts_from_lhasa(const LHAFileHeader* h, HeaderFacts* f)
{
    memcpy(f->method, h->compress_method, 5);
    f->method[5] = '\0';
    f->compressed = (uint64_t)h->compressed_length;
    f->length = (uint64_t)h->length;
    f->crc = h->crc;
    f->level = h->header_level;
    f->os_type = h->os_type;
}

/* Fills m from a header's raw bytes r (a level 1 header with its extended
 * headers) whose compressed data starts at data_off. */
static int parse_member(const uint8_t* r, size_t rl, const HeaderFacts* f, uint64_t data_off, Member* m,
                        Conv* conv)
{
    RawInfo ri;

    memset(m, 0, sizeof *m);
    memset(&ri, 0, sizeof ri);
    if (r == NULL || rl < 24) {
        return 0;
    }
    memcpy(m->method, f->method, 6);
    m->data_offset = data_off;
    m->compressed = f->compressed;
    m->length = f->length;
    m->crc = f->crc;
    m->level = f->level;
    m->os_type = f->os_type;
    m->is_dir = strcmp(m->method, LHA_COMPRESS_TYPE_DIR) == 0;
    m->attr = r[19];

    if (m->level <= 1) {
        size_t nl = r[21];
        if (nl > rl - 22) {
            nl = rl - 22;
        }
        m->dos_time = rd16(r + 15);
        m->dos_date = rd16(r + 17);
        ri.base = r + 22;
        ri.base_len = nl;
        if (m->level == 1) {
            raw_ext_chain(&ri, r, rl, r[0], 2);
        }
    } else {
        m->have_unix_time = 1;
        m->unix_time = (int64_t)rd32(r + 15);
        raw_ext_chain(&ri, r, rl, m->level == 2 ? 24 : 28, m->level == 3 ? 4 : 2);
    }
    /* An empty entry with a folder and no file name is a folder, whatever
     * its method says (Amiga archivers store empty folders as -lh0-). */
    if (!m->is_dir && m->length == 0 && ri.fname == NULL && ri.uname == NULL && ri.base_len == 0
        && (ri.dir != NULL || ri.udir != NULL)) {
        m->is_dir = 1;
    }
    if (ri.have_attr) {
        m->attr = ri.attr;
    }
    if (ri.have_win_time && m->level >= 2) {
        m->unix_time = ri.win_time;
    }
    if (m->level >= 2) {
        unix_to_dos(m->unix_time, &m->dos_date, &m->dos_time);
    }
    /* Only the DOS bits the interface documents; a folder gets 0x10. */
    m->attr &= (uint8_t)(UNLHA_ATTR_READONLY | UNLHA_ATTR_HIDDEN | UNLHA_ATTR_SYSTEM | UNLHA_ATTR_DIRECTORY
                         | UNLHA_ATTR_ARCHIVE);
    if (m->is_dir) {
        m->attr |= UNLHA_ATTR_DIRECTORY;
    } else {
        m->attr &= (uint8_t)~UNLHA_ATTR_DIRECTORY;
    }
    build_name(m, &ri, conv);
    return 1;
}

/* Modification time as time_t (DOS time is local time). */
static time_t member_time(const Member* m)
{
    struct tm tm;
    time_t t;

    if (m->have_unix_time) {
        return (time_t)m->unix_time;
    }
    if (m->dos_date == 0) {
        return 0;
    }
    memset(&tm, 0, sizeof tm);
    tm.tm_year = 80 + (m->dos_date >> 9);
    tm.tm_mon = ((m->dos_date >> 5) & 0x0F) - 1;
    tm.tm_mday = m->dos_date & 0x1F;
    tm.tm_hour = m->dos_time >> 11;
    tm.tm_min = (m->dos_time >> 5) & 0x3F;
    tm.tm_sec = (m->dos_time & 0x1F) * 2;
    tm.tm_isdst = -1;
    t = mktime(&tm);
    return t == (time_t)-1 ? 0 : t;
}

/* ======================================================================
 * Raw: one header read without lhasa
 * ==================================================================== */

/* CRC-16 (polynomial 0xA001, reflected), four bits at a time. */
static const uint16_t crc16_nibble[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                          0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};

static uint16_t crc16_update(uint16_t crc, const uint8_t* p, size_t n)
{
    size_t i;

    for (i = 0; i < n; ++i) {
        crc ^= p[i];
        crc = (uint16_t)((crc >> 4) ^ crc16_nibble[crc & 0x0F]);
        crc = (uint16_t)((crc >> 4) ^ crc16_nibble[crc & 0x0F]);
    }
    return crc;
}

/* The method field as lhasa's search for a header knows it: "-lh?-",
 * "-lz4-", "-lz5-", "-lzs-", or "-pm?-" other than "-pms-". */
static int lhasa_method_pattern(const uint8_t* b)
{
    if (b[2] != '-' || b[6] != '-') {
        return 0;
    }
    return (b[3] == 'l' && b[4] == 'h') || (b[3] == 'l' && b[4] == 'z' && (b[5] == '4' || b[5] == '5' || b[5] == 's'))
           || (b[3] == 'p' && b[4] == 'm' && b[5] != 's');
}

typedef struct RawHeader {
    uint8_t* bytes; /* the whole header; a level 1 header with its extended headers */
    size_t len;
    HeaderFacts facts;
    int has_crc; /* it carries a header CRC (checked) */
} RawHeader;

static void raw_header_free(RawHeader* rh)
{
    free(rh->bytes);
    rh->bytes = NULL;
    rh->len = 0;
}

/* Walks an extended header chain strictly (as raw_ext_chain, but a chain
 * that runs out of the header is an error) and checks the header CRC of a
 * common extended header (type 0x00): the CRC of the whole header with the
 * CRC field taken as zero. Returns 1 when the CRC is there and right, -1
 * when there is none, 0 when it is wrong or the chain is broken. */
static int raw_chain_check(uint8_t* r, size_t rl, size_t off, size_t field)
{
    size_t crc_at = 0;
    int have_crc = 0;

    while (off <= rl && rl - off >= field) {
        uint64_t len = field == 4 ? rd32(r + off) : rd16(r + off);
        if (len == 0) {
            break;
        }
        if (len < field + 1 || len > rl - off - field) {
            return 0;
        }
        if (r[off + field] == 0x00 && len >= field + 3 && !have_crc) {
            have_crc = 1;
            crc_at = off + field + 1;
        }
        off += (size_t)len;
    }
    if (!have_crc) {
        return -1;
    }
    {
        uint8_t lo = r[crc_at], hi = r[crc_at + 1];
        uint16_t want = (uint16_t)(lo | (hi << 8));
        uint16_t got;
        r[crc_at] = 0;
        r[crc_at + 1] = 0;
        got = crc16_update(0, r, rl);
        r[crc_at] = lo;
        r[crc_at + 1] = hi;
        return got == want ? 1 : 0;
    }
}

/* Appends n bytes at off to the header being read; 0 when the file ends
 * first, memory runs out or *budget (when given) is spent. */
static int raw_take(Source* src, RawHeader* rh, uint64_t off, size_t n, size_t* budget)
{
    uint8_t* grown;

    if (n > RAW_HEADER_MAX || rh->len > RAW_HEADER_MAX - n) {
        return 0;
    }
    if (budget != NULL) {
        if (*budget < n) {
            *budget = 0;
            return 0;
        }
        *budget -= n;
    }
    grown = (uint8_t*)realloc(rh->bytes, rh->len + n);
    if (grown == NULL) {
        return 0;
    }
    rh->bytes = grown;
    if (source_read(src, off + rh->len, rh->bytes + rh->len, n) != n) {
        return 0;
    }
    rh->len += n;
    return 1;
}

/* Reads the header at off as the format defines it: its length, the
 * level 0/1 checksum, the extended header chain and the header CRC where
 * there is one must all hold. Unlike lhasa it accepts entries without a
 * file name; what it reads is enough to tell where the next header starts
 * (the data offset + facts.compressed). */
static int raw_header_read(Source* src, uint64_t off, RawHeader* rh, size_t* budget)
{
    uint8_t head[32];
    size_t n = source_read(src, off, head, sizeof head);
    int crc_state = -1;
    int ok = 0;
    uint8_t* r;

    memset(rh, 0, sizeof *rh);
    if (n < 24 || head[2] != '-' || head[6] != '-') {
        return 0;
    }
    switch (head[20]) {
    case 0:
    case 1: {
        size_t hl = head[0], nl = head[21], min = head[20] == 0 ? 22 : 25, i;
        unsigned sum = 0;
        uint64_t compressed;
        if (hl < min || nl + min > hl || !raw_take(src, rh, off, hl + 2, budget)) {
            break;
        }
        r = rh->bytes;
        for (i = 2; i < hl + 2; ++i) {
            sum += r[i];
        }
        if ((sum & 0xFF) != r[1]) {
            break;
        }
        compressed = rd32(r + 7);
        rh->facts.crc = rd16(r + 22 + nl);
        if (head[20] == 1) {
            size_t next;
            rh->facts.os_type = r[24 + nl];
            /* Level 1: the compressed size counts the extended headers. */
            while ((next = rd16(rh->bytes + rh->len - 2)) != 0) {
                if (next < 3 || compressed < next || !raw_take(src, rh, off, next, budget)) {
                    raw_header_free(rh);
                    return 0;
                }
                compressed -= next;
            }
            crc_state = raw_chain_check(rh->bytes, rh->len, hl, 2);
        } else if (hl >= 22 + nl + 12 && (r[24 + nl] == 'U' || r[24 + nl] == 'K') && r[25 + nl] == 0) {
            rh->facts.os_type = r[24 + nl]; /* a level 0 Unix extended area */
        }
        rh->facts.compressed = compressed;
        ok = 1;
        break;
    }
    case 2:
        if (rd16(head) < 26 || !raw_take(src, rh, off, rd16(head), budget)) {
            break;
        }
        rh->facts.compressed = rd32(rh->bytes + 7);
        rh->facts.crc = rd16(rh->bytes + 21);
        rh->facts.os_type = rh->bytes[23];
        crc_state = raw_chain_check(rh->bytes, rh->len, 24, 2);
        ok = 1;
        break;
    case 3:
        if (n < 32 || rd16(head) != 4 || rd32(head + 24) < 32 || rd32(head + 24) > RAW_HEADER_MAX
            || !raw_take(src, rh, off, rd32(head + 24), budget)) {
            break;
        }
        rh->facts.compressed = rd32(rh->bytes + 7);
        rh->facts.crc = rd16(rh->bytes + 21);
        rh->facts.os_type = rh->bytes[23];
        crc_state = raw_chain_check(rh->bytes, rh->len, 28, 4);
        ok = 1;
        break;
    default:
        break;
    }
    if (!ok || crc_state == 0) {
        raw_header_free(rh);
        return 0;
    }
    rh->has_crc = crc_state == 1;
    memcpy(rh->facts.method, rh->bytes + 2, 5);
    rh->facts.method[5] = '\0';
    rh->facts.length = rd32(rh->bytes + 11);
    rh->facts.level = rh->bytes[20];
    return 1;
}

/* ======================================================================
 * Walker
 * ==================================================================== */

typedef struct Walker {
    Source* src;
    Cursor cur;
    LHAInputStream* stream;
    LHAReader* reader;
    uint64_t next_header;
    int done;
} Walker;

static void walker_end(Walker* w)
{
    if (w->reader != NULL) {
        lha_reader_free(w->reader);
    }
    if (w->stream != NULL) {
        lha_input_stream_free(w->stream);
    }
    w->reader = NULL;
    w->stream = NULL;
    w->done = 1;
}

static int walker_start(Walker* w, Source* src, uint64_t start)
{
    memset(w, 0, sizeof *w);
    w->src = src;
    w->cur.src = src;
    w->cur.pos = start;
    w->cur.end = src->size;
    w->next_header = start;
    w->stream = lha_input_stream_new(&cursor_stream_type, &w->cur);
    if (w->stream != NULL) {
        w->reader = lha_reader_new(w->stream);
    }
    if (w->reader == NULL) {
        walker_end(w);
        return 0;
    }
    lha_reader_set_dir_policy(w->reader, LHA_READER_DIR_PLAIN);
    return 1;
}

/* Next member header; 1 and *m filled, or 0 at the end of the archive (or
 * at the first header that neither lhasa nor raw_header_read can read).
 * A header lhasa refuses (an entry without a file name, say) is read raw;
 * when its lengths hold, it is listed and lhasa starts over after it. A
 * folder entry without any name is passed over: it names nothing. */
static int walker_next(Walker* w, Member* m, Conv* conv)
{
    for (;;) {
        uint8_t first, head[7];
        LHAFileHeader* h;
        HeaderFacts f;
        RawHeader rh;
        uint64_t at, data_off, next;
        int ok;

        if (w->done) {
            return 0;
        }
        at = w->next_header;
        /* A zero byte where a header would start ends the archive. */
        if (at >= w->src->size || source_read(w->src, at, &first, 1) != 1 || first == 0) {
            walker_end(w);
            return 0;
        }
        /* lhasa is asked only about a header it recognises as one: on
         * anything else a new reader would search ahead for a header. */
        h = NULL;
        if (source_read(w->src, at, head, sizeof head) == sizeof head && lhasa_method_pattern(head)) {
            h = lha_reader_next_file(w->reader);
        }
        /* After a complete header lhasa has consumed exactly raw_data_len
         * bytes from where the header started; anything else means it
         * skipped ahead (searching for a header): read this one raw. */
        if (h != NULL && h->raw_data != NULL && h->raw_data_len != 0
            && w->cur.pos == at + (uint64_t)h->raw_data_len) {
            data_off = at + (uint64_t)h->raw_data_len;
            facts_from_lhasa(h, &f);
            if (!parse_member(h->raw_data, h->raw_data_len, &f, data_off, m, conv)) {
                walker_end(w);
                return 0;
            }
            w->next_header = data_off + f.compressed;
            return 1;
        }
        if (!raw_header_read(w->src, at, &rh, NULL)) {
            walker_end(w);
            return 0;
        }
        data_off = at + rh.len;
        next = data_off + rh.facts.compressed;
        ok = parse_member(rh.bytes, rh.len, &rh.facts, data_off, m, conv);
        raw_header_free(&rh);
        /* lhasa's reader cannot be told to go on elsewhere: a new one
         * starts at the next header. */
        walker_end(w);
        if (!ok || !walker_start(w, w->src, next)) {
            walker_end(w);
            return 0;
        }
        if (m->is_dir && m->nameless) {
            continue;
        }
        return 1;
    }
}

/* ======================================================================
 * Locate: where does the archive start?
 * ==================================================================== */

/* Cheap look at a possible header start, as lhasa's own search for an
 * archive matches it, plus the level and the size fields. */
static int header_candidate(const uint8_t* b, size_t avail)
{
    unsigned level;

    if (avail < 24 || !lhasa_method_pattern(b)) {
        return 0;
    }
    level = b[20];
    if (level <= 1) {
        return b[0] >= 22 && (size_t)b[21] + 22 <= b[0];
    }
    if (level == 2) {
        return rd16(b) >= 26;
    }
    if (level == 3) {
        return rd16(b) == 4;
    }
    return 0;
}

static int probe_at(Source* src, uint64_t off, Conv* conv)
{
    Walker w;
    Member m;
    int ok = 0;

    if (walker_start(&w, src, off)) {
        ok = walker_next(&w, &m, conv);
    }
    walker_end(&w);
    return ok;
}

/* Is there a first member at off of an archive appended to a program? Its
 * header must prove itself, since program code may hold "-lh5-" by chance:
 * a right checksum (levels 0 and 1) or header CRC (levels 2 and 3), and its
 * data within the file. The bytes examined are charged to *budget. */
static int sfx_member_at(Source* src, uint64_t off, Conv* conv, size_t* budget)
{
    RawHeader rh;
    int ok;

    if (!raw_header_read(src, off, &rh, budget)) {
        return 0;
    }
    ok = (rh.facts.level <= 1 || rh.has_crc) && off + rh.len <= src->size
         && rh.facts.compressed <= src->size - off - rh.len && *budget >= rh.len;
    if (ok) {
        *budget -= rh.len; /* lhasa reads the header once more */
    }
    raw_header_free(&rh);
    return ok && probe_at(src, off, conv);
}

/* Finds the offset of the first member header: offset 0, or for a file
 * starting with "MZ" the first header that proves itself within the first
 * 1 MiB. */
static int locate_archive(Source* src, uint64_t* start, Conv* conv)
{
    uint8_t head[512];
    size_t n = source_read(src, 0, head, sizeof head);

    if (n >= 2 && head[0] == 'M' && head[1] == 'Z') {
        size_t want = src->size < SFX_SCAN_LIMIT + 32 ? (size_t)src->size : SFX_SCAN_LIMIT + 32;
        uint8_t* buf = (uint8_t*)malloc(want);
        size_t got, off, scan_end;
        size_t budget = SFX_SCAN_BUDGET;
        int found = 0;
        if (buf == NULL) {
            return 0;
        }
        got = source_read(src, 0, buf, want);
        scan_end = got < SFX_SCAN_LIMIT ? got : SFX_SCAN_LIMIT;
        for (off = 0; off < scan_end && !found && budget > 0; ++off) {
            /* A header has "-" at offsets 2 and 6 from its start. */
            if (got - off >= 24 && buf[off + 2] == '-' && buf[off + 6] == '-'
                && header_candidate(buf + off, got - off) && sfx_member_at(src, off, conv, &budget)) {
                *start = off;
                found = 1;
            }
        }
        free(buf);
        return found;
    }
    if (header_candidate(head, n) && probe_at(src, 0, conv)) {
        *start = 0;
        return 1;
    }
    return 0;
}

/* ======================================================================
 * Extract
 * ==================================================================== */

/* The methods the library decodes: LHarc/LHA's -lh0- to -lh7- and LArc's
 * -lzs-, -lz4- and -lz5- (-lhd- is a folder). Every other method lhasa
 * knows (PMarc's -pm0- to -pm2-, -lhx-) is listed but not decoded:
 * those decoders are not needed, and lhasa's -pm2- decoder reads out of
 * bounds on crafted data. */
static int extract_method_allowed(const char* method)
{
    if (strncmp(method, "-lh", 3) == 0 && method[3] >= '0' && method[3] <= '7' && method[4] == '-') {
        return 1;
    }
    return strcmp(method, "-lzs-") == 0 || strcmp(method, "-lz4-") == 0 || strcmp(method, "-lz5-") == 0;
}

static int extract_member(Source* src, const Member* m, unsigned char* buf, uint32_t size, uint32_t* got_out)
{
    char method[6];
    LHADecoderType* dtype;
    LHADecoder* dec;
    Cursor data;
    uint64_t want;
    size_t got = 0;
    int rc = UNLHA_OK;

    *got_out = 0;
    if (m->is_dir) {
        return UNLHA_ERROR_NOT_FILE;
    }
    if (!extract_method_allowed(m->method)) {
        return UNLHA_ERROR_METHOD;
    }
    /* The whole compressed data must be in the file. */
    if (m->data_offset > src->size || m->compressed > src->size - m->data_offset) {
        return UNLHA_ERROR_TRUNCATED;
    }
    memcpy(method, m->method, sizeof method);
    dtype = lha_decoder_for_name(method);
    if (dtype == NULL) {
        return UNLHA_ERROR_METHOD;
    }
    want = m->length < size ? m->length : size;
    if (want > 0 && buf == NULL) {
        return UNLHA_ERROR_BAD_ARGUMENT;
    }
    if (m->length == 0) {
        return UNLHA_OK;
    }
    if (m->length > SIZE_MAX) {
        return UNLHA_ERROR_DATA;
    }
    data.src = src;
    data.pos = m->data_offset;
    data.end = m->data_offset + m->compressed;
    dec = lha_decoder_new(dtype, cursor_decoder_read, &data, (size_t)m->length);
    if (dec == NULL) {
        return UNLHA_ERROR_MEMORY;
    }
    /* Decode no further than asked: the decoder works block by block. */
    while (got < want) {
        size_t n = lha_decoder_read(dec, buf + got, (size_t)(want - got));
        if (n == 0) {
            break;
        }
        got += n;
    }
    if (got < want) {
        rc = UNLHA_ERROR_DATA;
    } else if (want == m->length) {
        /* Whole member: lhasa's running CRC covers exactly what it handed
         * us; it and the length must match the header. */
        if ((uint64_t)lha_decoder_get_length(dec) != m->length || lha_decoder_get_crc(dec) != m->crc) {
            rc = UNLHA_ERROR_CRC;
        }
    }
    lha_decoder_free(dec);
    if (rc == UNLHA_OK) {
        *got_out = (uint32_t)got;
    }
    return rc;
}

/* ======================================================================
 * Wildcards
 * ==================================================================== */

static unsigned char fold(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') {
        return (unsigned char)(c - 'A' + 'a');
    }
    if (c == '\\') {
        return '/';
    }
    return c;
}

/* Bytes of the (possibly invalid) UTF-8 character at s, at least 1. */
static size_t char_len(const unsigned char* s)
{
    size_t k = 1;

    if (*s >= 0xC0) {
        while (k < 4 && (s[k] & 0xC0) == 0x80) {
            ++k;
        }
    }
    return k;
}

/* Glob over the first plen bytes of p; linear backtracking on the last
 * star only, so no pattern can take exponential time. */
static int glob_match(const unsigned char* p, size_t plen, const unsigned char* n)
{
    const unsigned char* pend = p + plen;
    const unsigned char* star_p = NULL;
    const unsigned char* star_n = NULL;

    while (*n != '\0') {
        if (p < pend && *p == '*') {
            while (p < pend && *p == '*') {
                ++p;
            }
            if (p == pend) {
                return 1;
            }
            star_p = p;
            star_n = n;
            continue;
        }
        if (p < pend && *p == '?') {
            ++p;
            n += char_len(n);
            continue;
        }
        if (p < pend && fold(*p) == fold(*n)) {
            ++p;
            ++n;
            continue;
        }
        if (star_p != NULL) {
            p = star_p;
            star_n += char_len(star_n);
            n = star_n;
            continue;
        }
        return 0;
    }
    while (p < pend && *p == '*') {
        ++p;
    }
    return p == pend;
}

int unlha_match_name(const char* pattern, const char* name)
{
    const unsigned char* p = (const unsigned char*)pattern;
    const unsigned char* n = (const unsigned char*)name;
    size_t plen;

    if (name == NULL) {
        return 0;
    }
    if (pattern == NULL || pattern[0] == '\0') {
        return 1;
    }
    plen = strlen(pattern);
    if (glob_match(p, plen, n)) {
        return 1;
    }
    /* MS-DOS rule: "X.*" also matches X without an extension. */
    if (plen >= 2 && p[plen - 2] == '.' && p[plen - 1] == '*') {
        return glob_match(p, plen - 2, n);
    }
    return 0;
}

/* ======================================================================
 * Command line: "archive path" "member name"
 * ==================================================================== */

static int is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/* Splits a command line into the archive path and the member name. Parts
 * may be quoted; inside quotes two double quotes in a row stand for one,
 * so a '"' in a path or member name survives. Unquoted tokens starting
 * with "-" are switches: "-i" followed by decimal digits names the member's
 * index in archive order (0 for the first member the find functions list
 * with "*.*"), for names that repeat; other switches are ignored. *index
 * is -1 when no index is given. Returns 1 when both parts are there. */
static int parse_command(const char* cmd, char** archive, char** member, long* index)
{
    const char* s = cmd;
    int count = 0;

    *archive = NULL;
    *member = NULL;
    *index = -1;
    if (cmd == NULL) {
        return 0;
    }
    for (;;) {
        char* copy;
        size_t len = 0;

        while (is_blank(*s)) {
            ++s;
        }
        if (*s == '\0') {
            break;
        }
        if (*s == '"') {
            const char* start = ++s;
            /* The unquoted text is never longer than the quoted one. */
            while (*s != '\0' && !(*s == '"' && s[1] != '"')) {
                s += (*s == '"') ? 2 : 1;
            }
            copy = (char*)malloc((size_t)(s - start) + 1);
            if (copy == NULL) {
                break;
            }
            while (start < s) {
                copy[len++] = *start;
                start += (*start == '"') ? 2 : 1;
            }
            if (*s == '"') {
                ++s;
            }
        } else {
            const char* start = s;
            while (*s != '\0' && !is_blank(*s)) {
                ++s;
            }
            len = (size_t)(s - start);
            if (start[0] == '-') {
                if (len >= 3 && len <= 11 && start[1] == 'i') {
                    long v = 0;
                    size_t i;
                    for (i = 2; i < len && start[i] >= '0' && start[i] <= '9'; ++i) {
                        v = v * 10 + (start[i] - '0');
                    }
                    if (i == len && v <= INT_MAX) {
                        *index = v;
                    }
                }
                continue;
            }
            copy = (char*)malloc(len + 1);
            if (copy == NULL) {
                break;
            }
            memcpy(copy, start, len);
        }
        copy[len] = '\0';
        if (count == 0) {
            *archive = copy;
        } else if (count == 1) {
            *member = copy;
        } else {
            free(copy); /* a third part: ignored */
        }
        ++count;
    }
    return *archive != NULL && *member != NULL && (*member)[0] != '\0';
}

/* ======================================================================
 * Archive handle
 * ==================================================================== */

struct UnlhaArchive {
    Source src;
    uint64_t start;
    Conv conv;
    Walker walker;
    int walking;
    char* pattern;
    int exact; /* the pattern is some member's exact name: only those match */
    int last_attr;
};

static void fill_record(void* record, const Member* m)
{
    ArchiveMemberInfo info;
    static const char letters[5] = {'R', 'H', 'S', 'D', 'A'};
    static const uint8_t bits[5] = {UNLHA_ATTR_READONLY, UNLHA_ATTR_HIDDEN, UNLHA_ATTR_SYSTEM,
                                    UNLHA_ATTR_DIRECTORY, UNLHA_ATTR_ARCHIVE};
    int i;

    if (record == NULL) {
        return;
    }
    memset(&info, 0, sizeof info);
    info.originalSize = m->length > UINT32_MAX ? UINT32_MAX : (uint32_t)m->length;
    info.compressedSize = m->compressed > UINT32_MAX ? UINT32_MAX : (uint32_t)m->compressed;
    info.crc = m->crc;
    info.flag = 0;
    info.osType = m->os_type;
    if (m->length > 0) {
        uint64_t ratio = (m->compressed * 1000u) / m->length;
        info.ratio = (uint16_t)(ratio > 65535 ? 65535 : ratio);
    }
    info.dosDate = m->dos_date;
    info.dosTime = m->dos_time;
    memcpy(info.name, m->name, sizeof info.name);
    info.name[UNLHA_NAME_MAX] = '\0';
    for (i = 0; i < 5; ++i) {
        info.attribute[i] = (m->attr & bits[i]) ? letters[i] : '-';
    }
    memcpy(info.method, m->method, 6);
    memcpy(record, &info, sizeof info);
}

static HARC archive_open(Source* src)
{
    struct UnlhaArchive* a = (struct UnlhaArchive*)calloc(1, sizeof *a);

    if (a == NULL) {
        source_close(src);
        return NULL;
    }
    a->src = *src;
    conv_init(&a->conv);
    a->walker.done = 1;
    a->last_attr = -1;
    if (!locate_archive(&a->src, &a->start, &a->conv)) {
        conv_free(&a->conv);
        source_close(&a->src);
        free(a);
        return NULL;
    }
    return a;
}

static int archive_find(HARC a, void* record)
{
    Member m;

    while (a->walking && walker_next(&a->walker, &m, &a->conv)) {
        if (a->exact ? strcmp(a->pattern, m.name) == 0 : unlha_match_name(a->pattern, m.name)) {
            a->last_attr = m.attr;
            fill_record(record, &m);
            return 0;
        }
    }
    a->walking = 0;
    return -1;
}

/* Shared by UnlhaExtractMem and unlha_extract_memory. The member is the
 * one at `index` when that is not negative (its name must still be
 * `member`); otherwise the first whose name is exactly `member`, and only
 * when none is, the first the wildcard rules match. */
static int extract_from_source(Source* src, const char* member, long index, unsigned char* buffer, uint32_t size,
                               time_t* time_out, uint16_t* attr_out, uint32_t* written)
{
    Conv conv;
    Walker w;
    Member m, wild;
    uint64_t start;
    uint32_t got = 0;
    long i = 0;
    int found = 0, have_wild = 0;
    int rc = UNLHA_ERROR_NOT_FOUND;

    conv_init(&conv);
    if (!locate_archive(src, &start, &conv)) {
        conv_free(&conv);
        return UNLHA_ERROR_NOT_ARCHIVE;
    }
    if (walker_start(&w, src, start)) {
        while (!found && walker_next(&w, &m, &conv)) {
            if (index >= 0) {
                if (i++ == index) {
                    found = strcmp(m.name, member) == 0;
                    break;
                }
            } else if (strcmp(m.name, member) == 0) {
                found = 1;
            } else if (!have_wild && unlha_match_name(member, m.name)) {
                wild = m;
                have_wild = 1;
            }
        }
        if (!found && have_wild) {
            m = wild;
            found = 1;
        }
        if (found) {
            if (time_out != NULL) {
                *time_out = member_time(&m);
            }
            if (attr_out != NULL) {
                *attr_out = m.attr;
            }
            rc = extract_member(src, &m, buffer, size, &got);
        }
    } else {
        rc = UNLHA_ERROR_MEMORY;
    }
    walker_end(&w);
    conv_free(&conv);
    if (rc == UNLHA_OK && written != NULL) {
        *written = got;
    }
    return rc;
}

/* ======================================================================
 * Exported entry points
 * ==================================================================== */

UNLHA_EXPORT int UNLHA_API UnlhaQueryFunctionList(int function)
{
    switch (function) {
    case UNLHA_FN_CHECK_ARCHIVE:
    case UNLHA_FN_QUERY_FUNCTION_LIST:
    case UNLHA_FN_OPEN_ARCHIVE:
    case UNLHA_FN_CLOSE_ARCHIVE:
    case UNLHA_FN_FIND_FIRST:
    case UNLHA_FN_FIND_NEXT:
    case UNLHA_FN_EXTRACT_MEM:
    case UNLHA_FN_GET_ATTRIBUTE:
        return 1;
    default:
        return 0;
    }
}

UNLHA_EXPORT int UNLHA_API UnlhaCheckArchive(const char* path, int mode)
{
    Source src;
    Conv conv;
    uint64_t start;
    int ok;

    (void)mode;
    if (!source_open_file(&src, path)) {
        return 0;
    }
    conv_init(&conv);
    ok = locate_archive(&src, &start, &conv);
    conv_free(&conv);
    source_close(&src);
    return ok ? 1 : 0;
}

UNLHA_EXPORT HARC UNLHA_API UnlhaOpenArchive(void* owner, const char* path, uint32_t mode)
{
    Source src;

    (void)owner;
    (void)mode;
    if (!source_open_file(&src, path)) {
        return NULL;
    }
    return archive_open(&src);
}

HARC unlha_open_memory(const void* data, size_t len)
{
    Source src;

    source_init_memory(&src, data, len);
    return archive_open(&src);
}

/* NULL, "", stars alone, or stars and ".*": every member matches. */
static int pattern_matches_all(const char* p)
{
    size_t n, i;

    if (p == NULL || p[0] == '\0') {
        return 1;
    }
    n = strlen(p);
    if (n >= 3 && p[n - 2] == '.' && p[n - 1] == '*') {
        n -= 2;
    }
    for (i = 0; i < n; ++i) {
        if (p[i] != '*') {
            return 0;
        }
    }
    return 1;
}

UNLHA_EXPORT int UNLHA_API UnlhaFindFirst(HARC archive, const char* wildcard, void* record)
{
    if (archive == NULL) {
        return -1;
    }
    if (archive->walking) {
        walker_end(&archive->walker);
        archive->walking = 0;
    }
    free(archive->pattern);
    archive->pattern = NULL;
    archive->last_attr = -1;
    if (wildcard != NULL) {
        archive->pattern = strdup(wildcard);
        if (archive->pattern == NULL) {
            return -1;
        }
    }
    archive->exact = 0;
    if (!pattern_matches_all(archive->pattern)) {
        /* A member with exactly this name wins over the wildcard rules. */
        Member m;
        if (!walker_start(&archive->walker, &archive->src, archive->start)) {
            return -1;
        }
        while (!archive->exact && walker_next(&archive->walker, &m, &archive->conv)) {
            archive->exact = strcmp(archive->pattern, m.name) == 0;
        }
        walker_end(&archive->walker);
    }
    if (!walker_start(&archive->walker, &archive->src, archive->start)) {
        return -1;
    }
    archive->walking = 1;
    return archive_find(archive, record);
}

UNLHA_EXPORT int UNLHA_API UnlhaFindNext(HARC archive, void* record)
{
    if (archive == NULL || !archive->walking) {
        return -1;
    }
    return archive_find(archive, record);
}

UNLHA_EXPORT int UNLHA_API UnlhaCloseArchive(HARC archive)
{
    if (archive == NULL) {
        return 0;
    }
    walker_end(&archive->walker);
    conv_free(&archive->conv);
    source_close(&archive->src);
    free(archive->pattern);
    free(archive);
    return 0;
}

UNLHA_EXPORT int UNLHA_API UnlhaGetAttribute(HARC archive)
{
    if (archive == NULL) {
        return -1;
    }
    return archive->last_attr;
}

UNLHA_EXPORT int UNLHA_API UnlhaExtractMem(void* owner, const char* commandLine, unsigned char* buffer,
                                           uint32_t size, time_t* time, uint16_t* attributes,
                                           uint32_t* written)
{
    char* archive_path;
    char* member;
    long index;
    Source src;
    int rc;

    (void)owner;
    if (written != NULL) {
        *written = 0;
    }
    if (!parse_command(commandLine, &archive_path, &member, &index)) {
        free(archive_path);
        free(member);
        return commandLine == NULL ? UNLHA_ERROR_BAD_ARGUMENT : UNLHA_ERROR_COMMAND;
    }
    if (!source_open_file(&src, archive_path)) {
        rc = UNLHA_ERROR_FILE_OPEN;
    } else {
        rc = extract_from_source(&src, member, index, buffer, size, time, attributes, written);
        source_close(&src);
    }
    free(archive_path);
    free(member);
    return rc;
}

int unlha_extract_memory(const void* data, size_t len, const char* member, unsigned char* buffer,
                         uint32_t size, time_t* time, uint16_t* attributes, uint32_t* written)
{
    Source src;
    int rc;

    if (written != NULL) {
        *written = 0;
    }
    if (member == NULL || member[0] == '\0') {
        return UNLHA_ERROR_COMMAND;
    }
    source_init_memory(&src, data, len);
    rc = extract_from_source(&src, member, -1, buffer, size, time, attributes, written);
    source_close(&src);
    return rc;
}
