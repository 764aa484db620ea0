/* binfmt_misc interpreter for i386 ELF: run qemu-i386-static with the NOREPLACE shim preloaded.
   Called by the kernel (flags F, no P) as: argv = { this, /path/to/i386-binary, args... } */
#include <unistd.h>
#include <stdlib.h>
#include <stdio.h>
#ifndef SHIM
#define SHIM "/usr/local/lib/rimkit-i386/noreplace_shim.so"
#endif
int main(int argc, char **argv)
{
    char **nargv = calloc(argc + 4, sizeof(*nargv));
    int i, n = 0;
    if (!nargv || argc < 2) return 127;
    nargv[n++] = "/usr/bin/qemu-i386-static";
    nargv[n++] = "-E";
    nargv[n++] = "LD_PRELOAD=" SHIM;
    for (i = 1; i < argc; i++) nargv[n++] = argv[i];
    nargv[n] = NULL;
    execv(nargv[0], nargv);
    perror("qemu-i386-shim: execv /usr/bin/qemu-i386-static");
    return 127;
}
