/* i386 LD_PRELOAD shim: qemu-user 7.2 treats MAP_FIXED_NOREPLACE as a plain hint and
   returns some other address (after a slow search).  Emulate the kernel semantics:
   if the hint is not honoured, unmap and fail with EEXIST. */
typedef unsigned int size_t;
typedef long long off64_t;
#define MAP_FIXED_NOREPLACE 0x100000
#define MAP_FAILED ((void *)-1)
#define RTLD_NEXT ((void *)-1)
#define EEXIST 17
extern void *dlsym(void *, const char *);
extern int *__errno_location(void);
extern int munmap(void *, size_t);
typedef void *(*mmap64_fn)(void *, size_t, int, int, int, off64_t);
typedef void *(*mmap_fn)(void *, size_t, int, int, int, long);
static mmap64_fn real_mmap64;
static mmap_fn real_mmap;

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, off64_t off)
{
    void *p;
    if (!real_mmap64) real_mmap64 = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
    if (!(flags & MAP_FIXED_NOREPLACE) || !addr) return real_mmap64(addr, len, prot, flags, fd, off);
    p = real_mmap64(addr, len, prot, flags & ~MAP_FIXED_NOREPLACE, fd, off);
    if (p != MAP_FAILED && p != addr) { munmap(p, len); *__errno_location() = EEXIST; return MAP_FAILED; }
    return p;
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, long off)
{
    void *p;
    if (!real_mmap) real_mmap = (mmap_fn)dlsym(RTLD_NEXT, "mmap");
    if (!(flags & MAP_FIXED_NOREPLACE) || !addr) return real_mmap(addr, len, prot, flags, fd, off);
    p = real_mmap(addr, len, prot, flags & ~MAP_FIXED_NOREPLACE, fd, off);
    if (p != MAP_FAILED && p != addr) { munmap(p, len); *__errno_location() = EEXIST; return MAP_FAILED; }
    return p;
}

/* keep the i386-only preload out of the environment handed to children (64-bit wine processes) */
extern int unsetenv(const char *);
__attribute__((constructor)) static void drop_preload(void) { unsetenv("LD_PRELOAD"); }
