/* A stand-in archive library for the binding tests: every entry point the
   program resolves, answering as an empty archive would. Built twice, once
   without UnlhaCheckArchive, to show that an incomplete library is not used. */
#include <stdint.h>
#include <time.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT int UnlhaQueryFunctionList(int function) { return function == 23 ? 77 : 0; }
EXPORT void* UnlhaOpenArchive(void* owner, const char* path, uint32_t mode)
{
    (void)owner; (void)path; (void)mode;
    return 0;
}
EXPORT int UnlhaFindFirst(void* archive, const char* wildcard, void* record)
{
    (void)archive; (void)wildcard; (void)record;
    return -1;
}
EXPORT int UnlhaFindNext(void* archive, void* record)
{
    (void)archive; (void)record;
    return -1;
}
EXPORT int UnlhaCloseArchive(void* archive) { (void)archive; return 0; }
EXPORT int UnlhaGetAttribute(void* archive) { (void)archive; return -1; }
EXPORT int UnlhaExtractMem(void* owner, const char* commandLine, unsigned char* buffer, uint32_t size, time_t* time,
                           uint16_t* attributes, uint32_t* written)
{
    (void)owner; (void)commandLine; (void)buffer; (void)size; (void)time; (void)attributes;
    if (written)
        *written = 0;
    return 1;
}
#ifndef FAKE_INCOMPLETE
EXPORT int UnlhaCheckArchive(const char* path, int mode) { (void)path; (void)mode; return 0; }
#endif
