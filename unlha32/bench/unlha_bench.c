/*
 * unlha_bench: drives libunlha32 the way the program does, for timing.
 *
 *   unlha32_bench LIBRARY list ARCHIVE
 *       dlopens LIBRARY, opens ARCHIVE and walks all members with
 *       UnlhaFindFirst("*.*") / UnlhaFindNext; prints the member count.
 *   unlha32_bench LIBRARY extract ARCHIVE MEMBER [BUFFER_BYTES]
 *       extracts MEMBER into a buffer of BUFFER_BYTES (default 64 MiB)
 *       with UnlhaExtractMem; prints the written count. Exit status 1 when
 *       the extraction fails.
 *   unlha32_bench LIBRARY check FILE
 *       asks UnlhaCheckArchive whether FILE is an archive; prints 1 or 0.
 *
 * One run per process start: bench/archive_bench.sh times whole processes,
 * as it does for lhasa.
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "unlha32.h"

typedef HARC(UNLHA_API* OpenFn)(void*, const char*, uint32_t);
typedef int(UNLHA_API* FindFirstFn)(HARC, const char*, void*);
typedef int(UNLHA_API* FindNextFn)(HARC, void*);
typedef int(UNLHA_API* CloseFn)(HARC);
typedef int(UNLHA_API* CheckFn)(const char*, int);
typedef int(UNLHA_API* ExtractFn)(void*, const char*, unsigned char*, uint32_t, time_t*, uint16_t*, uint32_t*);

static void* need(void* lib, const char* name)
{
    void* p = dlsym(lib, name);
    if (p == NULL) {
        fprintf(stderr, "unlha32_bench: %s missing\n", name);
        exit(2);
    }
    return p;
}

int main(int argc, char** argv)
{
    void* lib;

    if (argc < 4) {
        fprintf(stderr, "usage: %s LIBRARY list ARCHIVE | LIBRARY extract ARCHIVE MEMBER [BUFFER_BYTES] | LIBRARY check FILE\n",
                argv[0]);
        return 2;
    }
    lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "unlha32_bench: %s\n", dlerror());
        return 2;
    }
    if (strcmp(argv[2], "list") == 0) {
        OpenFn open_archive = (OpenFn)need(lib, "UnlhaOpenArchive");
        FindFirstFn find_first = (FindFirstFn)need(lib, "UnlhaFindFirst");
        FindNextFn find_next = (FindNextFn)need(lib, "UnlhaFindNext");
        CloseFn close_archive = (CloseFn)need(lib, "UnlhaCloseArchive");
        ArchiveMemberInfo info;
        unsigned long count = 0;
        HARC h = open_archive(NULL, argv[3], 0x08000000u);
        if (find_first(h, "*.*", &info) != -1) {
            do {
                ++count;
            } while (find_next(h, &info) != -1);
        }
        close_archive(h);
        printf("%lu\n", count);
        return 0;
    }
    if (strcmp(argv[2], "check") == 0) {
        CheckFn check = (CheckFn)need(lib, "UnlhaCheckArchive");
        printf("%d\n", check(argv[3], 0) != 0);
        return 0;
    }
    if (strcmp(argv[2], "extract") == 0 && argc >= 5) {
        ExtractFn extract = (ExtractFn)need(lib, "UnlhaExtractMem");
        size_t size = argc >= 6 ? (size_t)strtoul(argv[5], NULL, 10) : (size_t)64 << 20;
        size_t cmd_len = strlen(argv[3]) + strlen(argv[4]) + 8;
        char* cmd = (char*)malloc(cmd_len);
        unsigned char* buffer = (unsigned char*)malloc(size + 1);
        uint32_t written = 0;
        int rc;
        if (cmd == NULL || buffer == NULL) {
            fprintf(stderr, "unlha32_bench: out of memory\n");
            return 2;
        }
        snprintf(cmd, cmd_len, "\"%s\" \"%s\"", argv[3], argv[4]);
        rc = extract(NULL, cmd, buffer, (uint32_t)size, NULL, NULL, &written);
        printf("%u\n", (unsigned)written);
        free(buffer);
        free(cmd);
        return rc == 0 ? 0 : 1;
    }
    fprintf(stderr, "unlha32_bench: unknown command %s\n", argv[2]);
    return 2;
}
